// What the process holds: threads, file descriptors, heap in use and
// resident memory, for comparing the end of a run against its start.
#pragma once

#include <cstdint>
#include <string>

namespace stress {

struct Resources {
    int threads = 0;
    int fds = 0;
    int64_t heapBytes = 0;  // bytes handed out by the allocator and not freed
    int64_t rssBytes = 0;
};

// Call first thing in main: lets the heap count see every thread.
void prepareHeapAccounting();
Resources measure();
// What the heap figure counts under this build.
const char* heapSource();
std::string describe(const Resources& r);

}  // namespace stress
