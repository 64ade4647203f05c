// For the benchmarks that load the library the way a host does: the virtual
// driver, and the built library beside the program (bin/../lib) unless
// TONEWELL_LIB_DIR names another.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace benchstats {

inline void useBuiltLibrary() {
    setenv("TONEWELL_SOUND_DRIVER", "virtual", 0);
    if (std::getenv("TONEWELL_LIB_DIR")) return;
    char exe[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string dir = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string();
    dir = dir.substr(0, dir.find_last_of('/') + 1) + "../lib";
    setenv("TONEWELL_LIB_DIR", dir.c_str(), 0);
}

}  // namespace benchstats
