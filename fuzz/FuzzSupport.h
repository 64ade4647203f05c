// What the harnesses share: host handles made the way the fuzzers' host
// makes them, and the scratch file each input is written to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "tonewell/tonewell.h"

namespace fuzz {

// A handle to a block of exactly `bytes` bytes (none for 0), uninitialised.
void** newHandle(size_t bytes);
void freeHandle(void** handle);
TwStringHandle makeString(const std::string& text);

// TMPDIR (or /tmp), then "/tonewell-fuzz-<what>-<pid>".
std::string scratchPath(const char* what);
// Replaces the file's contents with the bytes; false when it cannot.
bool writeFile(const std::string& path, const uint8_t* data, size_t size);

}  // namespace fuzz
