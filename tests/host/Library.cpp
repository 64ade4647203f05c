#include "Library.h"

#include <dlfcn.h>

#include "TestHost.h"

namespace testhost {

Library::Library(const std::string& path) {
    std::string p = path.empty() ? libraryDir() + "/libtonewell.so" : path;
    handle_ = ::dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* e = ::dlerror();
        error_ = e ? e : "dlopen failed";
        return;
    }
#define TW_EXPORT_FN(name) api_.name = reinterpret_cast<decltype(api_.name)>(::dlsym(handle_, #name));
#include "ExportList.inc"
#undef TW_EXPORT_FN
}

Library::~Library() { unload(); }

void Library::unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
    api_ = Exports{};
}

Library& library() {
    static Library* lib = new Library();
    return *lib;
}

}  // namespace testhost
