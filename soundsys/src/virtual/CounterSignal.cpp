#include "virtual/CounterSignal.h"

namespace tws {

void fillCounter(uint8_t* dst, uint32_t frames, uint64_t firstFrame, const Format& format) {
    const uint32_t size = format.containerBits / 8;
    const uint32_t dropped = format.containerBits - format.validBits;
    const uint32_t keep = dropped >= 32 ? 0u : ~((1u << dropped) - 1u);
    for (uint32_t i = 0; i < frames; ++i) {
        const uint64_t n = firstFrame + i;
        for (uint32_t c = 0; c < format.channels; ++c) {
            const auto v = static_cast<uint16_t>(n + 1000u * c);
            uint32_t value = size == 1 ? ((v & 0xFFu) ^ 0x80u) : static_cast<uint32_t>(v) << (8 * (size - 2));
            value &= keep;
            for (uint32_t b = 0; b < size; ++b) *dst++ = static_cast<uint8_t>(value >> (8 * b));
        }
    }
}

}  // namespace tws
