// UTF-8 paths, as the engine passes them around, to and from the UTF-16
// paths that the system's file and module functions take.
#pragma once

#include <string>

namespace twm::platform {

// Empty for empty text or text that is not valid UTF-8.
std::wstring utf16(const std::string& utf8);
std::string utf8(const std::wstring& utf16);

}  // namespace twm::platform
