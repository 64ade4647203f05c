#include "TestHost.h"

#include <unistd.h>

#include <cstdlib>

namespace testhost {

namespace {
// Every test program plays on the virtual driver unless the environment or
// the test itself says otherwise (before the sound system module loads).
const bool kDefaultDriver = [] { return ::setenv("TONEWELL_SOUND_DRIVER", "virtual", 0) == 0; }();
}  // namespace

std::string libraryDir() {
    const char* d = std::getenv("TONEWELL_LIB_DIR");
    return d ? d : "build/lib";
}

std::string scratchDir() {
    static std::string dir = [] {
        const char* base = std::getenv("TONEWELL_TEST_TMP");
        std::string b = base ? base : libraryDir() + "/../test-tmp";
        std::string d = b + "/tw-" + std::to_string(::getpid());
        std::string cmd = "mkdir -p '" + d + "'";
        if (std::system(cmd.c_str()) != 0) return b;
        return d;
    }();
    return dir;
}

}  // namespace testhost
