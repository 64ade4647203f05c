// Process-wide counts of live engine objects, for the control interface.
#pragma once

#include <atomic>
#include <cstdint>

namespace twm {

struct LiveCounts {
    std::atomic<uint32_t> loaders{0};
    std::atomic<uint32_t> performances{0};
    std::atomic<uint32_t> segments{0};
    std::atomic<uint32_t> synths{0};
    std::atomic<uint32_t> plays{0};
    std::atomic<uint32_t> cached{0};
    std::atomic<uint32_t> threads{0};
};

// Never destroyed: counts may change while the process exits.
inline LiveCounts& liveCounts() {
    static LiveCounts* counts = new LiveCounts();
    return *counts;
}

}  // namespace twm
