// Little-endian bytes of RIFF and WAV files built by hand or read back: what
// the RIFF, sound file, tap and tool tests write and expect.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace wavbytes {

using Bytes = std::vector<uint8_t>;

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void put16(Bytes& out, uint16_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }

inline void put32(Bytes& out, uint32_t v) {
    out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
}

// Text without its NUL: a four-character code, or any other bytes.
inline void putText(Bytes& out, const char* text) {
    while (*text) out.push_back(static_cast<uint8_t>(*text++));
}

inline uint16_t get16(const Bytes& in, size_t at) { return static_cast<uint16_t>(in.at(at) | in.at(at + 1) << 8); }

inline uint32_t get32(const Bytes& in, size_t at) { return get16(in, at) | static_cast<uint32_t>(get16(in, at + 2)) << 16; }

// A chunk with its pad byte; `declared` replaces the size field when given.
inline void putChunk(Bytes& out, const char* id, const Bytes& data, int64_t declared = -1) {
    putText(out, id);
    put32(out, static_cast<uint32_t>(declared >= 0 ? declared : static_cast<int64_t>(data.size())));
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
}

// RIFF/WAVE around the given chunks (RIFF size from the content).
inline Bytes riffWave(const Bytes& chunks) {
    Bytes out;
    putText(out, "RIFF");
    put32(out, static_cast<uint32_t>(chunks.size() + 4));
    putText(out, "WAVE");
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

}  // namespace wavbytes
