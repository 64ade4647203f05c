// Modules over LoadLibrary; paths cross this layer as UTF-8.
#include "platform/Module.h"

#include <windows.h>

#include <string>

#include "platform/win32/WidePath.h"

namespace tw::platform {

namespace {

HMODULE moduleContaining(const void* address) {
    HMODULE module = nullptr;
    if (address == nullptr || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                      GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                  static_cast<LPCWSTR>(address), &module)) {
        return nullptr;
    }
    return module;
}

bool pathExists(const std::string& path) {
    const std::wstring wide = widePath(path.c_str());
    return !wide.empty() && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

ModuleHandle loadModule(const char* path) {
    if (path == nullptr || path[0] == '\0') return nullptr;
    const std::wstring wide = widePath(path);
    if (wide.empty()) return nullptr;
    return LoadLibraryW(wide.c_str());
}

ModuleHandle findLoadedModule(const char* name) {
    if (name == nullptr || name[0] == '\0') return nullptr;
    const std::wstring wide = widePath(name);
    return wide.empty() ? nullptr : GetModuleHandleW(wide.c_str());
}

ModuleHandle mainProgramModule() {
    return GetModuleHandleW(nullptr);
}

void* findSymbol(ModuleHandle module, const char* name) {
    if (module == nullptr || name == nullptr) return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

bool addressInMainProgram(const void* address) {
    const HMODULE module = moduleContaining(address);
    return module != nullptr && module == GetModuleHandleW(nullptr);
}

std::string moduleDirectoryOf(const void* address) {
    const HMODULE module = moduleContaining(address);
    if (module == nullptr) return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    // Forward slashes, as on every other system; Windows takes both.
    std::string utf8 = utf8Path(path);
    for (char& c : utf8) {
        if (c == '\\') c = '/';
    }
    const size_t slash = utf8.rfind('/');
    if (slash == std::string::npos) return {};
    return utf8.substr(0, slash + 1);
}

std::string companionModulePath(const void* address, const char* subdir, const char* file) {
    const std::string dir = moduleDirectoryOf(address);
    if (dir.empty()) return {};
    const std::string beside = dir + file;
    if (pathExists(beside)) return beside;
    const std::string installed = dir + subdir + "/" + file;
    return pathExists(installed) ? installed : beside;
}

void unloadModule(ModuleHandle module) {
    if (module != nullptr) FreeLibrary(static_cast<HMODULE>(module));
}

void pinModuleOf(const void* address) {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       static_cast<LPCWSTR>(address), &module);
}

bool processShuttingDown() {
    using Query = BOOLEAN(WINAPI*)();
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
    return query != nullptr && query() != 0;
}

}  // namespace tw::platform
