#include "hostrt/Library.h"

#include <dlfcn.h>

namespace hostrt {

Library::Library(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        handle_ = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_) {
            path_ = candidate;
            break;
        }
        const char* e = ::dlerror();
        if (!error_.empty()) error_ += "; ";
        error_ += e ? e : candidate + ": cannot be loaded";
    }
    if (!handle_) return;
    error_.clear();
#define TW_EXPORT_FN(name) api_.name = reinterpret_cast<decltype(api_.name)>(::dlsym(handle_, #name));
#include "tonewell_exports.inc"
#undef TW_EXPORT_FN
}

Library::~Library() { unload(); }

void Library::unload() {
    if (handle_) ::dlclose(handle_);
    handle_ = nullptr;
    api_ = Exports{};
}

}  // namespace hostrt
