#include "Library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <climits>
#include <string>
#include <vector>

#include "Failure.h"

namespace cli {

namespace {

std::string executableDir() {
    char path[PATH_MAX];
#ifdef _WIN32
    const DWORD n = ::GetModuleFileNameA(nullptr, path, sizeof path);
    if (n == 0 || n == sizeof path) return ".";
    const std::string p(path, n);
    return p.substr(0, p.find_last_of("/\\"));
#else
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = '\0';
    const std::string p(path);
    return p.substr(0, p.rfind('/'));
#endif
}

}  // namespace

const hostrt::Exports& api() {
    static hostrt::Library* library = [] {
        const std::string dir = executableDir();
        // TONEWELL_TOOL_LIBDIR: the installed lib folder relative to bin/.
        return new hostrt::Library(std::vector<std::string>{
            dir + "/" TONEWELL_TOOL_LIBDIR "/" TONEWELL_LIBRARY_FILE,
            dir + "/../lib/" TONEWELL_LIBRARY_FILE,
            TONEWELL_LIBRARY_FILE,
        });
    }();
    if (!library->loaded()) throw ToolError("cannot load the library " TONEWELL_LIBRARY_FILE ": " + library->error());
    return library->api();
}

void check(int32_t code, const std::string& doing) {
    if (code > 0) throw LibraryError(doing, code);
}

}  // namespace cli
