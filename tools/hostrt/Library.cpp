#include "hostrt/Library.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace hostrt {

namespace {

#ifdef _WIN32
void* open(const std::string& path, std::string& error) {
    std::wstring wide(static_cast<size_t>(::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, nullptr, 0)), L'\0');
    if (!wide.empty()) ::MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    HMODULE module = wide.empty() ? nullptr : ::LoadLibraryW(wide.c_str());
    if (module == nullptr) error = path + ": cannot be loaded (error " + std::to_string(::GetLastError()) + ")";
    return reinterpret_cast<void*>(module);
}
void* symbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle), name));
}
void close(void* handle) { ::FreeLibrary(static_cast<HMODULE>(handle)); }
#else
void* open(const std::string& path, std::string& error) {
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* e = ::dlerror();
        error = e ? e : path + ": cannot be loaded";
    }
    return handle;
}
void* symbol(void* handle, const char* name) { return ::dlsym(handle, name); }
void close(void* handle) { ::dlclose(handle); }
#endif

}  // namespace

Library::Library(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        std::string why;
        handle_ = open(candidate, why);
        if (handle_) {
            path_ = candidate;
            break;
        }
        if (!error_.empty()) error_ += "; ";
        error_ += why;
    }
    if (!handle_) return;
    error_.clear();
#define TW_EXPORT_FN(name) api_.name = reinterpret_cast<decltype(api_.name)>(symbol(handle_, #name));
#include "tonewell_exports.inc"
#undef TW_EXPORT_FN
}

Library::~Library() { unload(); }

void Library::unload() {
    if (handle_) close(handle_);
    handle_ = nullptr;
    api_ = Exports{};
}

}  // namespace hostrt
