#include "TestHost.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace testhost {

namespace {

#ifdef _WIN32
int processId() { return _getpid(); }
// The build puts the DLLs beside the programs.
std::string programDir() {
    const std::string path = programPath();
    return path.empty() ? "." : std::filesystem::path(path).parent_path().string();
}
#else
int processId() { return ::getpid(); }
std::string programDir() { return "build/lib"; }
#endif

// Every test program plays on the virtual driver unless the environment or
// the test itself says otherwise (before the sound system module loads).
const bool kDefaultDriver = setEnv("TONEWELL_SOUND_DRIVER", "virtual", false);

}  // namespace

std::string programPath() {
#ifdef _WIN32
    wchar_t path[MAX_PATH];
    const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return n == 0 || n == MAX_PATH ? "" : std::filesystem::path(path).string();
#else
    return "/proc/self/exe";
#endif
}

bool setEnv(const char* name, const char* value, bool overwrite) {
    if (!overwrite && std::getenv(name) != nullptr) return true;
#ifdef _WIN32
    return _putenv_s(name, value) == 0;
#else
    return ::setenv(name, value, 1) == 0;
#endif
}

std::string libraryDir() {
    (void)kDefaultDriver;
    const char* d = std::getenv("TONEWELL_LIB_DIR");
    return d ? d : programDir();
}

std::string libraryPath() { return libraryDir() + "/" + kLibraryFile; }

std::string scratchDir() {
    static std::string dir = [] {
        const char* base = std::getenv("TONEWELL_TEST_TMP");
        std::string b = base ? base : libraryDir() + "/../test-tmp";
        std::string d = b + "/tw-" + std::to_string(processId());
        std::error_code error;
        std::filesystem::create_directories(d, error);
        return error ? b : d;
    }();
    return dir;
}

}  // namespace testhost
