// The chunks of a RIFF file, for `info`: read by the tool itself, every read
// bounded by the file's size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

struct RiffChunk {
    std::string id;        // "fmt ", "data", "LIST"...
    std::string listType;  // the form of a LIST chunk ("INFO")
    uint64_t offset = 0;   // of the chunk header in the file
    uint32_t size = 0;     // as the header says
    bool truncated = false;  // the file ends before the chunk does
};

struct RiffScan {
    bool isRiff = false;
    std::string form;  // "WAVE"
    uint32_t riffSize = 0;
    uint64_t fileSize = 0;
    std::vector<RiffChunk> chunks;
    // From the fmt chunk, when there is one.
    uint16_t formatTag = 0;
    uint16_t validBits = 0;
    uint16_t blockAlign = 0;
    bool floatSubFormat = false;
};

// False when the file cannot be read at all.
bool scanRiff(const std::string& path, RiffScan& scan);
// "PCM", "IEEE float", "extensible PCM", ...
std::string formatName(const RiffScan& scan);

}  // namespace cli
