// A WAV file open for reading through the library, closed when it goes.
#pragma once

#include <cstdint>
#include <string>

#include "tonewell/tonewell.h"

namespace cli {

class ReadFile {
public:
    // Throws LibraryError naming the file.
    ReadFile(const std::string& path, const std::string& display);
    ~ReadFile();
    ReadFile(const ReadFile&) = delete;
    ReadFile& operator=(const ReadFile&) = delete;

    TaskRefnum refnum() const { return refnum_; }
    double rate = 0, duration = 0;
    int32_t channels = 0, bits = 0, frames = 0;

private:
    TaskRefnum refnum_ = -1;
};

}  // namespace cli
