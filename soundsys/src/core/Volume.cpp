#include "core/Volume.h"

#include <cmath>
#include <cstring>

namespace tws {

namespace {

int32_t readSample(const uint8_t* p, uint32_t containerBytes) {
    switch (containerBytes) {
        case 1: return static_cast<int32_t>(p[0]) - 128;
        case 2: return static_cast<int16_t>(static_cast<uint16_t>(p[0] | p[1] << 8));
        case 3: {
            uint32_t u = p[0] | p[1] << 8 | static_cast<uint32_t>(p[2]) << 16;
            return static_cast<int32_t>(u << 8) >> 8;
        }
        default: {
            uint32_t u = p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
            return static_cast<int32_t>(u);
        }
    }
}

void writeSample(uint8_t* p, uint32_t containerBytes, int32_t value) {
    if (containerBytes == 1) {
        p[0] = static_cast<uint8_t>(value + 128);
        return;
    }
    auto u = static_cast<uint32_t>(value);
    for (uint32_t i = 0; i < containerBytes; ++i) p[i] = static_cast<uint8_t>(u >> (8 * i));
}

}  // namespace

double volumeGain(int32_t level) { return std::pow(10.0, level / 2000.0); }

void applyVolume(uint8_t* dst, const uint8_t* src, uint32_t bytes, const Format& format,
                 int32_t level) {
    if (level == 0) {
        if (dst != src) std::memcpy(dst, src, bytes);
        return;
    }
    const double gain = volumeGain(level);
    const uint32_t size = format.containerBits / 8;
    const uint32_t dropped = format.containerBits - format.validBits;
    const uint32_t keepMask = size > 1 && dropped > 0 ? ~((1u << dropped) - 1u) : ~0u;
    for (uint32_t i = 0; i + size <= bytes; i += size) {
        double scaled = std::nearbyint(readSample(src + i, size) * gain);
        auto value = static_cast<int32_t>(static_cast<int64_t>(scaled));
        value = static_cast<int32_t>(static_cast<uint32_t>(value) & keepMask);
        writeSample(dst + i, size, value);
    }
}

}  // namespace tws
