#include "platform/DynamicLoad.h"

#include <windows.h>

#include "platform/win32/Utf16.h"

namespace twm::platform {

std::string ownDirectory() {
    HMODULE self = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&ownDirectory), &self)) return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // cut short: try a longer buffer
    }
    const size_t separator = path.find_last_of(L"\\/");
    return separator == std::wstring::npos ? std::string() : utf8(path.substr(0, separator + 1));
}

void* loadModule(const std::string& path) {
    const std::wstring wide = utf16(path);
    return wide.empty() ? nullptr : LoadLibraryW(wide.c_str());
}

void* findFunction(void* module, const char* name) {
    return module ? reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name)) : nullptr;
}

}  // namespace twm::platform
