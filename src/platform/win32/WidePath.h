// UTF-8 paths, as the library passes them around, to and from the wide
// paths that the system's file and module functions take.
#pragma once

#include <string>

namespace tw::platform {

// Empty for a null pointer or text that is not valid UTF-8.
std::wstring widePath(const char* utf8);
std::string utf8Path(const std::wstring& wide);

}  // namespace tw::platform
