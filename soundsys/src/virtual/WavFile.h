// Writes a tap as a RIFF/WAVE file.
#pragma once

#include <cstdint>
#include <string>

#include "core/Format.h"

namespace tws {

// false when the file cannot be written.
bool writeWavFile(const std::string& path, const Format& format, const uint8_t* data,
                  uint64_t bytes);

}  // namespace tws
