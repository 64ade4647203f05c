// Format records for tests that talk to the sound system module directly.
#pragma once

#include <cstdint>

#include "tonewell_sound.h"

namespace testhost {

// A PCM record; extensible when asked, or when plain PCM cannot say it
// (more than two channels, containers over 16 bits, fewer valid bits).
tws_wave_format_extensible makeFormat(uint16_t channels, uint32_t rate, uint16_t bits, uint16_t validBits = 0,
                                      bool extensible = false);

}  // namespace testhost
