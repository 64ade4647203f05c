// Reads plain PCM WAV files (the standard and the extensible format record
// with integer PCM samples of 8, 16, 24 or 32 bits, 1 to 8 channels).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "content/PcmSound.h"

namespace twm {

class WaveFileParser {
public:
    static bool recognizes(const uint8_t* data, size_t size);
    // False for anything else, or a file without a format or data chunk.
    static bool parse(const uint8_t* data, size_t size, PcmSound& sound);
    // As above, keeping the samples where the file was read instead of
    // copying them; `file` is left empty.
    static bool parse(std::vector<uint8_t>&& file, PcmSound& sound);
};

}  // namespace twm
