// What the benchmarks read about their own process: CPU time of named
// threads, of the whole process, and resident memory.
#pragma once

#include <dirent.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace benchstats {

inline int64_t clockNs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

// CPU time so far of every thread of this process named `name`.
inline int64_t namedThreadsCpuNs(const std::string& name) {
    int64_t total = 0;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return 0;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(base + "/comm"), comm);
        if (comm != name) continue;
        int64_t ns = 0;
        if (std::ifstream(base + "/schedstat") >> ns) total += ns;
    }
    closedir(dir);
    return total;
}

// User and system CPU time of the whole process so far.
inline int64_t processCpuNs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (int64_t{u.ru_utime.tv_sec} + u.ru_stime.tv_sec) * 1000000000 +
           (int64_t{u.ru_utime.tv_usec} + u.ru_stime.tv_usec) * 1000;
}

inline int64_t residentBytes() {
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    return int64_t{resident} * sysconf(_SC_PAGESIZE);
}

}  // namespace benchstats
