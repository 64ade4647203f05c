#include "Resources.h"

#include <dirent.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define STRESS_SANITIZER_HEAP 1
// The sanitizer runtimes' own count (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace stress {

namespace {

int countEntries(const char* path) {
    DIR* dir = ::opendir(path);
    if (!dir) return -1;
    int n = 0;
    while (dirent* e = ::readdir(dir))
        if (e->d_name[0] != '.') ++n;
    ::closedir(dir);
    return n;
}

}  // namespace

void prepareHeapAccounting() {
#ifndef STRESS_SANITIZER_HEAP
    // mallinfo2 reports the main arena only; one arena for all threads.
    ::mallopt(M_ARENA_MAX, 1);
#endif
}

Resources measure() {
    Resources r;
    r.threads = countEntries("/proc/self/task");
    r.fds = countEntries("/proc/self/fd") - 1;  // the directory being read
#ifdef STRESS_SANITIZER_HEAP
    r.heapBytes = static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    ::malloc_trim(0);
    const struct mallinfo2 mi = ::mallinfo2();
    r.heapBytes = static_cast<int64_t>(mi.uordblks + mi.hblkhd);
#endif
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    r.rssBytes = static_cast<int64_t>(resident) * ::sysconf(_SC_PAGESIZE);
    return r;
}

const char* heapSource() {
#ifdef STRESS_SANITIZER_HEAP
    return "sanitizer allocator";
#else
    return "mallinfo2, one arena";
#endif
}

std::string describe(const Resources& r) {
    char text[160];
    std::snprintf(text, sizeof text, "threads %d, fds %d, heap %.1f KiB, RSS %.1f MiB", r.threads, r.fds,
                  static_cast<double>(r.heapBytes) / 1024.0, static_cast<double>(r.rssBytes) / 1048576.0);
    return text;
}

}  // namespace stress
