// The stream format records that the sound system and WAV files use, with the
// platform's field names and byte layout (little-endian, packed).
#pragma once

#include <cstdint>

namespace tw {

#pragma pack(push, 1)
struct FormatGuid {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};

struct WaveFormatExRecord {
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};

struct WaveFormatExtensibleRecord {
    WaveFormatExRecord Format;
    union {
        uint16_t wValidBitsPerSample;
        uint16_t wSamplesPerBlock;
        uint16_t wReserved;
    } Samples;
    uint32_t dwChannelMask;
    FormatGuid SubFormat;
};
#pragma pack(pop)

static_assert(sizeof(WaveFormatExRecord) == 18);
static_assert(sizeof(WaveFormatExtensibleRecord) == 40);

// The names the rest of the library uses; point these at the sound system's
// own declarations once they exist.
using WaveFormatEx = WaveFormatExRecord;
using WaveFormatExtensible = WaveFormatExtensibleRecord;

inline constexpr uint16_t kWaveFormatPcm = 0x0001;
inline constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
inline constexpr uint16_t kExtensibleExtraBytes = 22;

// The PCM sub-format {00000001-0000-0010-8000-00AA00389B71}.
inline constexpr FormatGuid kSubtypePcm = {
    0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

}  // namespace tw
