#include "Library.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>

namespace cli {
namespace {

std::string executableDir() {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = '\0';
    std::string p(path);
    return p.substr(0, p.rfind('/'));
}

void* openLibrary() {
    const std::string dir = executableDir();
    for (const std::string& candidate : {dir + "/../lib/libtonewell.so", dir + "/libtonewell.so",
                                         std::string("libtonewell.so")}) {
        if (void* h = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
    }
    std::fprintf(stderr, "tonewell: cannot load libtonewell.so: %s\n", ::dlerror());
    std::exit(2);
}

}  // namespace

const Api& api() {
    static const Api loaded = [] {
        Api a;
        void* h = openLibrary();
#define TW_EXPORT_FN(name) a.name = reinterpret_cast<decltype(a.name)>(::dlsym(h, #name));
#include "ExportList.inc"
#undef TW_EXPORT_FN
        return a;
    }();
    return loaded;
}

}  // namespace cli
