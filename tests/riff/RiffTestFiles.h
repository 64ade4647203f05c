// Scratch files and byte helpers for the RIFF file tests.
#pragma once

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/WavBytes.h"
#include "file/RiffFile.h"
#include "host/TestHost.h"

namespace tw::test {

using namespace wavbytes;

// A path in the program's scratch directory, one per test; the file is
// removed when the object goes away.
class ScratchFile {
public:
    ScratchFile() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        mPath = testhost::scratchDir() + "/riff_" + info->test_suite_name() + "_" + info->name() + ".bin";
        remove();
    }
    ~ScratchFile() { remove(); }
    const char* path() const { return mPath.c_str(); }

private:
    void remove() {
        std::error_code ignored;
        std::filesystem::remove(mPath, ignored);
    }

    std::string mPath;
};

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
