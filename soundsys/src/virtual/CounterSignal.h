// The virtual capture source: a counter signal that lets tests check that
// captured frames arrive without gaps or repeats. Frame n, channel c carries
// the 16-bit value v = (n + 1000 c) mod 65536; 8-bit containers get its low
// byte with the top bit flipped, wider ones get v in their top 16 bits. Bits
// below the format's valid bits are zero.
#pragma once

#include <cstdint>

#include "core/Format.h"

namespace tws {

void fillCounter(uint8_t* dst, uint32_t frames, uint64_t firstFrame, const Format& format);

}  // namespace tws
