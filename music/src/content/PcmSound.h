// A plain PCM WAV file in memory: its format and its sample bytes.
#pragma once

#include <cstdint>
#include <vector>

namespace twm {

struct PcmFormat {
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t containerBits = 0;
    uint16_t validBits = 0;
    uint32_t channelMask = 0;
    bool extensible = false;

    uint32_t blockAlign() const { return uint32_t{channels} * containerBits / 8; }
};

struct PcmSound {
    PcmFormat format;
    std::vector<uint8_t> data;  // whole frames only

    uint64_t frames() const { return format.blockAlign() ? data.size() / format.blockAlign() : 0; }
};

}  // namespace twm
