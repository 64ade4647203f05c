// Loading shared modules and finding symbols in them.
#pragma once

#include <string>

namespace tw::platform {

using ModuleHandle = void*;

// dlopen RTLD_NOW|RTLD_LOCAL (LoadLibrary of the UTF-8 path on Windows); null
// on failure or for a null or empty path.
ModuleHandle loadModule(const char* path);
// The handle of an already loaded module, or null; never loads and, like
// asking the system for a module handle, takes no reference of its own.
ModuleHandle findLoadedModule(const char* name);
// The executable itself.
ModuleHandle mainProgramModule();
// Null for a null module or name.
void* findSymbol(ModuleHandle module, const char* name);
// Does the address lie in the executable itself (not in a shared module)?
bool addressInMainProgram(const void* address);
// Directory of the module containing the address, with trailing '/'; empty if unknown.
std::string moduleDirectoryOf(const void* address);
// Where a module that ships with the one containing `address` is: `file`
// beside it (the build tree), else in the private folder `subdir` beside it
// (the installed tree). The first when neither exists, so loading it fails
// as before. Empty if the containing module is unknown.
std::string companionModulePath(const void* address, const char* subdir, const char* file);
// Drops one reference taken by loadModule; null is ignored.
void unloadModule(ModuleHandle module);
// Keeps the module containing `address` loaded until the process ends,
// however often it is unloaded. On Windows, unloading a module whose threads
// still run would have to wait for them under the system's loader lock; on
// other systems nothing needs it and nothing happens.
void pinModuleOf(const void* address);
// Is the process exiting with its other threads already gone? Windows ends
// them before it detaches the modules; elsewhere exit leaves them running
// and this is always false.
bool processShuttingDown();

}  // namespace tw::platform
