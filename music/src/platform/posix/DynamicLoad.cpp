#include "platform/DynamicLoad.h"

#include <dlfcn.h>

namespace twm::platform {

std::string ownDirectory() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&ownDirectory), &info) || !info.dli_fname) return {};
    std::string path = info.dli_fname;
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void* loadModule(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }

void* findFunction(void* module, const char* name) {
    // A null handle would mean "search everywhere" to dlsym.
    return module ? dlsym(module, name) : nullptr;
}

}  // namespace twm::platform
