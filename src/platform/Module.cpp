#include "platform/Module.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <unistd.h>

namespace tw::platform {

namespace {

const link_map* mainProgramMap() {
  static const link_map* map = [] {
    link_map* result = nullptr;
    void* self = dlopen(nullptr, RTLD_NOW);
    if (self == nullptr || dlinfo(self, RTLD_DI_LINKMAP, &result) != 0) return static_cast<link_map*>(nullptr);
    return result;
  }();
  return map;
}

// The module containing `address`, or false when it lies in none.
bool findModule(const void* address, Dl_info& info, const link_map*& map) {
  if (address == nullptr) return false;
  link_map* found = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&found), RTLD_DL_LINKMAP) == 0 || found == nullptr) {
    return false;
  }
  map = found;
  return true;
}

}  // namespace

ModuleHandle loadModule(const char* path) {
  // dlopen reads a null or empty path as the executable itself.
  if (path == nullptr || path[0] == '\0') return nullptr;
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

ModuleHandle findLoadedModule(const char* name) {
  if (name == nullptr || name[0] == '\0') return nullptr;
  void* handle = dlopen(name, RTLD_NOW | RTLD_NOLOAD);
  // RTLD_NOLOAD still counts a reference; give it back so the caller holds none.
  // The module stays loaded through the references it already had.
  if (handle != nullptr) dlclose(handle);
  return handle;
}

ModuleHandle mainProgramModule() { return dlopen(nullptr, RTLD_NOW); }

void* findSymbol(ModuleHandle module, const char* name) {
  // A null handle would mean "search everywhere" to dlsym.
  if (module == nullptr || name == nullptr) return nullptr;
  return dlsym(module, name);
}

bool addressInMainProgram(const void* address) {
  Dl_info info;
  const link_map* map = nullptr;
  return findModule(address, info, map) && map == mainProgramMap();
}

std::string moduleDirectoryOf(const void* address) {
  Dl_info info;
  const link_map* map = nullptr;
  if (!findModule(address, info, map)) return {};
  std::string path;
  if (map == mainProgramMap()) {
    // The loader only knows the executable by the name it was started with.
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return {};
    path.assign(buffer, static_cast<size_t>(length));
  } else {
    if (info.dli_fname == nullptr || info.dli_fname[0] == '\0') return {};
    char* resolved = realpath(info.dli_fname, nullptr);
    path = resolved != nullptr ? resolved : info.dli_fname;
    free(resolved);
  }
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return path.substr(0, slash + 1);
}

std::string companionModulePath(const void* address, const char* subdir, const char* file) {
  const std::string dir = moduleDirectoryOf(address);
  if (dir.empty()) return {};
  const std::string beside = dir + file;
  if (access(beside.c_str(), F_OK) == 0) return beside;
  const std::string installed = dir + subdir + "/" + file;
  return access(installed.c_str(), F_OK) == 0 ? installed : beside;
}

void unloadModule(ModuleHandle module) {
  if (module != nullptr) dlclose(module);
}

void pinModuleOf(const void*) {}

bool processShuttingDown() { return false; }

}  // namespace tw::platform
