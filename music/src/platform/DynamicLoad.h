// Loading a shared module beside this one and finding its functions, once
// per system: posix/ and win32/. Paths are UTF-8 text.
#pragma once

#include <string>

namespace twm::platform {

// The folder of the module this code is linked into, with a trailing
// separator; empty when unknown.
std::string ownDirectory();
// Null when the module cannot be loaded. Never unloaded.
void* loadModule(const std::string& path);
// Null when the module or the function is missing.
void* findFunction(void* module, const char* name);

}  // namespace twm::platform
