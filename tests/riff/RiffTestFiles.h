// Scratch files and byte helpers for the RIFF file tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "file/RiffFile.h"

namespace tw::test {

using Bytes = std::vector<unsigned char>;

// A path in the test scratch directory, unique per test and process; the
// file is removed when the object goes away.
class ScratchFile {
public:
    ScratchFile() {
        const char* dir = std::getenv("TONEWELL_TEST_TMP");
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        mPath = std::string(dir && *dir ? dir : "/tmp") + "/riff_" + info->test_suite_name() + "_" +
                info->name() + "_" + std::to_string(::getpid()) + ".bin";
        ::unlink(mPath.c_str());
    }
    ~ScratchFile() { ::unlink(mPath.c_str()); }
    const char* path() const { return mPath.c_str(); }

private:
    std::string mPath;
};

inline Bytes readAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeAll(const char* path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline void append(Bytes& out, const char* text) {
    while (*text) out.push_back(static_cast<unsigned char>(*text++));
}

inline void append32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// A chunk: id, little-endian size, data, pad byte for an odd size.
inline void appendChunk(Bytes& out, const char* id, const Bytes& data, uint32_t declaredSize) {
    append(out, id);
    append32(out, declaredSize);
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
}

inline void appendChunk(Bytes& out, const char* id, const Bytes& data) {
    appendChunk(out, id, data, static_cast<uint32_t>(data.size()));
}

// Bytes that differ from position to position and from seed to seed.
inline Bytes pattern(size_t size, uint32_t seed = 1) {
    Bytes out(size);
    uint32_t x = seed * 2654435761u + 12345u;
    for (auto& b : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }
    return out;
}

// Stores bytes at pchNext, advancing whenever the buffer is full, the way a
// sample writer streams into the file. Gives the first failure of advance,
// else the result of handing the buffer back.
inline RiffResult writeDirect(RiffFile& f, const Bytes& bytes) {
    RiffBufferInfo info;
    if (const RiffResult r = f.getInfo(info); r != RiffResult::ok) return r;
    for (size_t done = 0; done < bytes.size();) {
        if (info.pchNext == info.pchEndWrite) {
            info.dwFlags |= kRiffDirty;
            if (const RiffResult r = f.advance(info, RiffAdvance::write); r != RiffResult::ok) return r;
            if (info.pchNext == info.pchEndWrite) {
                ADD_FAILURE() << "advance left no room to write";
                return RiffResult::cannotWrite;
            }
        }
        const size_t n =
            std::min<size_t>(bytes.size() - done, static_cast<size_t>(info.pchEndWrite - info.pchNext));
        std::memcpy(info.pchNext, bytes.data() + done, n);
        info.pchNext += n;
        done += n;
    }
    info.dwFlags |= kRiffDirty;
    return f.setInfo(info);
}

}  // namespace tw::test
