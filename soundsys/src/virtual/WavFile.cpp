#include "virtual/WavFile.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace tws {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

void putTag(std::vector<uint8_t>& out, const char* tag) {
    const size_t at = out.size();
    out.resize(at + 4);
    std::memcpy(out.data() + at, tag, 4);
}

}  // namespace

bool writeWavFile(const std::string& path, const Format& format, const uint8_t* data,
                  uint64_t bytes) {
    if (bytes > 0xFFFFFF00u) return false;
    const auto dataBytes = static_cast<uint32_t>(bytes);
    // A plain PCM fmt chunk has no cbSize field; the extensible one has all 40 bytes.
    const uint32_t fmtBytes = format.extensible ? 40 : 16;
    const uint32_t pad = dataBytes & 1;
    std::vector<uint8_t> head;
    putTag(head, "RIFF");
    put32(head, 4 + 8 + fmtBytes + 8 + dataBytes + pad);
    putTag(head, "WAVE");
    putTag(head, "fmt ");
    put32(head, fmtBytes);
    const auto* record = reinterpret_cast<const uint8_t*>(&format.record);
    head.insert(head.end(), record, record + fmtBytes);
    putTag(head, "data");
    put32(head, dataBytes);

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    bool ok = std::fwrite(head.data(), 1, head.size(), file) == head.size();
    if (ok && dataBytes > 0) ok = std::fwrite(data, 1, dataBytes, file) == dataBytes;
    if (ok && pad) ok = std::fputc(0, file) != EOF;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

}  // namespace tws
