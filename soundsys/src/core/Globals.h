// Module-wide objects the core needs, owned by the module runtime so that
// they are torn down in a fixed order when the module unloads.
#pragma once

#include <atomic>
#include <cstdint>

namespace tws {

class Dispatcher;

struct LiveCounts {
    std::atomic<uint32_t> sounds{0};
    std::atomic<uint32_t> captures{0};
    std::atomic<uint32_t> buffers{0};
    std::atomic<uint32_t> captureBuffers{0};
};

Dispatcher& dispatcher();
LiveCounts& liveCounts();

}  // namespace tws
