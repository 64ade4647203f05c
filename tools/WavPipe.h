// A WAV stream to a pipe, where the library's writer cannot go back to fill
// in the sizes: the header says "as long as it goes" (the largest sizes), as
// other recorders write to pipes, and the samples follow as they come.
#pragma once

#include <cstdint>

#include "Tasks.h"

namespace cli {

class WavPipe {
public:
    WavPipe(int fd, const Format& format);
    // Writes a channels x frames int32 array (full-scale samples) as PCM.
    // False once the reader has gone (the pipe is closed).
    bool write(const int32_t* samples, int32_t channels, int32_t frames);

private:
    bool writeAll(const uint8_t* bytes, size_t size);
    int fd_;
    int32_t bytesPerSample_;
    bool open_ = true;
};

}  // namespace cli
