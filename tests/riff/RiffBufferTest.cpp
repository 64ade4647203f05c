// Direct access to the I/O buffer across its boundaries, in buffers of any
// size. (Plain and direct transfers in turn, direct reads after a seek, and
// opening, are what the WAV writer and reader do: their tests hold the bytes.
// Records that describe another buffer, relative seeks and writes behind a
// gap no caller makes.)
#include <algorithm>

#include <gtest/gtest.h>

#include "RiffTestFiles.h"
#include "file/RiffFile.h"

namespace tw {
namespace {

using namespace test;

constexpr FourCC kData = makeFourCC('d', 'a', 't', 'a');

// Takes up to `limit` bytes from the buffer, refilling it as it empties;
// stops early at the end of the file.
Bytes readDirect(RiffFile& f, size_t limit) {
    Bytes out;
    RiffBufferInfo info;
    EXPECT_EQ(f.getInfo(info), RiffResult::ok);
    while (out.size() < limit) {
        if (info.pchNext == info.pchEndRead) {
            EXPECT_EQ(f.advance(info, RiffAdvance::read), RiffResult::ok);
            if (info.pchNext == info.pchEndRead) break;
        }
        const size_t n = std::min<size_t>(limit - out.size(), static_cast<size_t>(info.pchEndRead - info.pchNext));
        out.insert(out.end(), info.pchNext, info.pchNext + n);
        info.pchNext += n;
    }
    EXPECT_EQ(f.setInfo(info), RiffResult::ok);
    return out;
}

TEST(RiffBuffer, DirectWriteAndReadAcrossBufferBoundaries) {
    const Bytes samples = pattern(1001, 5);
    Bytes data;
    putChunk(data, "data", samples);
    const Bytes expected = riffWave(data);
    for (uint32_t bufferSize : {16u, 17u, 1000u, 4096u}) {
        SCOPED_TRACE(bufferSize);
        ScratchFile file;
        RiffFile f;
        ASSERT_EQ(f.open(file.path(), RiffFile::Mode::createReadWrite, bufferSize), 0);
        RiffChunkInfo riff;
        riff.fccType = makeFourCC('W', 'A', 'V', 'E');
        ASSERT_EQ(f.createChunk(riff, kRiffCreateRiff), RiffResult::ok);
        RiffChunkInfo chunk;
        chunk.ckid = kData;
        ASSERT_EQ(f.createChunk(chunk, 0), RiffResult::ok);
        ASSERT_EQ(writeDirect(f, samples), RiffResult::ok);
        EXPECT_EQ(f.tell(), 20 + 1001);
        ASSERT_EQ(f.ascend(chunk), RiffResult::ok);
        ASSERT_EQ(f.ascend(riff), RiffResult::ok);
        ASSERT_EQ(f.close(), RiffResult::ok);
        ASSERT_EQ(readFile(file.path()), expected);

        ASSERT_EQ(f.open(file.path(), RiffFile::Mode::read, bufferSize), 0);
        ASSERT_EQ(f.descend(riff, nullptr, 0), RiffResult::ok);
        ASSERT_EQ(f.descend(chunk, &riff, kRiffFindChunk), RiffResult::ok);
        EXPECT_EQ(readDirect(f, 1001), samples);
        EXPECT_EQ(f.tell(), 20 + 1001);
        // Only the pad byte is left, then the end of the file.
        EXPECT_EQ(readDirect(f, 100), Bytes{0});
    }
}

}  // namespace
}  // namespace tw
