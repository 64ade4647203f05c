// The stream format records, as the sound system declares them (the standard
// byte layout, also written into WAV file headers).
#pragma once

#include <cstdint>

#include "tonewell_sound.h"

namespace tw {

using FormatGuid = tws_guid;
using WaveFormatEx = tws_wave_format;
using WaveFormatExtensible = tws_wave_format_extensible;

static_assert(sizeof(WaveFormatEx) == 18);
static_assert(sizeof(WaveFormatExtensible) == 40);

inline constexpr uint16_t kWaveFormatPcm = TWS_WAVE_FORMAT_PCM;
inline constexpr uint16_t kWaveFormatExtensible = TWS_WAVE_FORMAT_EXTENSIBLE;
inline constexpr uint16_t kExtensibleExtraBytes = 22;

inline constexpr FormatGuid kSubtypePcm = TWS_SUBTYPE_PCM_INIT;

}  // namespace tw
