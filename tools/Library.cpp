#include "Library.h"

#include <string>
#include <vector>

#include "Failure.h"
#include "platform/Module.h"

namespace cli {

namespace {

std::string executableDir() {
    const std::string dir = tw::platform::moduleDirectoryOf(reinterpret_cast<const void*>(&executableDir));
    return dir.empty() ? "." : dir.substr(0, dir.size() - 1);  // without the trailing '/'
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
