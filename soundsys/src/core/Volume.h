// Software volume: scales PCM samples by a level in hundredths of a decibel.
#pragma once

#include <cstdint>

#include "core/Format.h"

namespace tws {

// Linear gain of a level in hundredths of a decibel: 10^(level / 2000).
double volumeGain(int32_t level);

// Copies `bytes` (whole samples) from src to dst scaled by the level; at 0
// the bytes are copied unchanged. dst may equal src. Results round to the
// nearest value and keep only the format's valid bits.
void applyVolume(uint8_t* dst, const uint8_t* src, uint32_t bytes, const Format& format,
                 int32_t level);

}  // namespace tws
