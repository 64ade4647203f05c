#include "RiffScan.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace cli {

namespace {

uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The float sub-format's first four bytes; the rest is the common suffix.
constexpr uint32_t kFloatSubFormat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;
constexpr int kMaxChunks = 10000;

}  // namespace

bool scanRiff(const std::string& path, RiffScan& scan) {
    scan = RiffScan{};
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) return false;
    std::FILE* f = file.get();
    if (std::fseek(f, 0, SEEK_END) != 0) return false;
    const long end = std::ftell(f);
    if (end < 0) return false;
    scan.fileSize = static_cast<uint64_t>(end);
    std::rewind(f);
    uint8_t header[12];
    if (std::fread(header, 1, 12, f) != 12 || std::memcmp(header, "RIFF", 4) != 0) return true;
    scan.isRiff = true;
    scan.riffSize = le32(header + 4);
    scan.form.assign(reinterpret_cast<const char*>(header + 8), 4);
    // Chunks run to the end of the RIFF chunk or of the file, whichever is first.
    const uint64_t limit = std::min<uint64_t>(scan.fileSize, uint64_t{scan.riffSize} + 8);
    uint64_t at = 12;
    while (at + 8 <= limit && scan.chunks.size() < kMaxChunks) {
        uint8_t ck[8];
        if (std::fseek(f, static_cast<long>(at), SEEK_SET) != 0 || std::fread(ck, 1, 8, f) != 8) break;
        RiffChunk chunk;
        chunk.id.assign(reinterpret_cast<const char*>(ck), 4);
        chunk.offset = at;
        chunk.size = le32(ck + 4);
        chunk.truncated = at + 8 + chunk.size > scan.fileSize;
        const uint64_t body = at + 8;
        const uint64_t bodySize = std::min<uint64_t>(chunk.size, scan.fileSize - body);
        if (chunk.id == "LIST" && bodySize >= 4) {
            char type[4];
            if (std::fread(type, 1, 4, f) == 4) chunk.listType.assign(type, 4);
        } else if (chunk.id == "fmt " && bodySize >= 16) {
            uint8_t fmt[40] = {};
            const size_t n = std::fread(fmt, 1, std::min<uint64_t>(bodySize, sizeof fmt), f);
            scan.formatTag = le16(fmt);
            scan.blockAlign = le16(fmt + 12);
            scan.validBits = le16(fmt + 14);
            if (scan.formatTag == kTagExtensible && n >= 40) {
                scan.validBits = le16(fmt + 18);
                scan.floatSubFormat = le32(fmt + 24) == kFloatSubFormat;
            }
        }
        scan.chunks.push_back(chunk);
        at = body + chunk.size + (chunk.size & 1u);  // chunks are padded to even sizes
    }
    return true;
}

std::string formatName(const RiffScan& scan) {
    switch (scan.formatTag) {
        case 1: return "PCM";
        case 3: return "IEEE float";
        case kTagExtensible: return scan.floatSubFormat ? "IEEE float (extensible)" : "PCM (extensible)";
        case 0: return "no format chunk";
        default: return "format tag " + std::to_string(scan.formatTag);
    }
}

}  // namespace cli
