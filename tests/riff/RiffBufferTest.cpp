// Direct access to the I/O buffer, and seeking. (Plain and direct transfers
// in turn, and direct reads after a seek, are what the WAV writer and reader
// do: their tests hold the bytes.)
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

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

TEST(RiffBuffer, RecordsThatDoNotFitAreRefused) {
    ScratchFile file;
    writeFile(file.path(), pattern(64));
    RiffFile f;
    RiffBufferInfo info;
    EXPECT_EQ(f.getInfo(info), RiffResult::notOpen);
    ASSERT_EQ(f.open(file.path(), RiffFile::Mode::read, 16), 0);
    ASSERT_EQ(f.getInfo(info), RiffResult::ok);
    ASSERT_EQ(f.advance(info, RiffAdvance::read), RiffResult::ok);
    const RiffBufferInfo good = info;

    char other[16];
    info.pchBuffer = other;
    info.pchNext = other;
    EXPECT_EQ(f.setInfo(info), RiffResult::invalidParam);
    info = good;
    info.pchNext = info.pchBuffer + 17;
    EXPECT_EQ(f.setInfo(info), RiffResult::invalidParam);
    info.pchBuffer = other;
    EXPECT_EQ(f.advance(info, RiffAdvance::read), RiffResult::invalidParam);
    info = good;
    info.dwFlags |= kRiffDirty;
    EXPECT_EQ(f.setInfo(info), RiffResult::invalidParam) << "read-only file";
    info = good;
    EXPECT_EQ(f.advance(info, RiffAdvance::write), RiffResult::cannotWrite);
    EXPECT_EQ(f.tell(), 0) << "refused records leave the position alone";

    // In a writable file pchNext may pass the valid bytes only when dirty.
    ScratchFile out;
    RiffFile w;
    ASSERT_EQ(w.open(out.path(), RiffFile::Mode::createReadWrite, 16), 0);
    ASSERT_EQ(w.getInfo(info), RiffResult::ok);
    info.pchNext += 4;
    EXPECT_EQ(w.setInfo(info), RiffResult::invalidParam);
    EXPECT_EQ(w.tell(), 0);
}

TEST(RiffSeek, OriginsAndInvalidTargets) {
    ScratchFile file;
    RiffFile f;
    EXPECT_EQ(f.seek(0, SEEK_SET), -1);
    ASSERT_EQ(f.open(file.path(), RiffFile::Mode::createReadWrite, 16), 0);
    ASSERT_EQ(f.write("0123456789", 10), 10);
    // The end counts bytes still in the buffer.
    EXPECT_EQ(f.seek(0, SEEK_END), 10);
    EXPECT_EQ(f.seek(-3, SEEK_END), 7);
    EXPECT_EQ(f.seek(2, SEEK_CUR), 9);
    EXPECT_EQ(f.seek(-10, SEEK_CUR), -1);
    EXPECT_EQ(f.seek(-1, SEEK_SET), -1);
    EXPECT_EQ(f.seek(0, 42), -1);
    EXPECT_EQ(f.seek(INT64_MAX, SEEK_CUR), -1);
    EXPECT_EQ(f.tell(), 9) << "failed seeks do not move";

    // Overwrite inside the buffer, then write behind a gap past the end.
    ASSERT_EQ(f.seek(3, SEEK_SET), 3);
    ASSERT_EQ(f.write("XY", 2), 2);
    ASSERT_EQ(f.seek(14, SEEK_SET), 14);
    char got[4];
    EXPECT_EQ(f.read(got, 4), 0) << "nothing to read past the end";
    EXPECT_EQ(f.seek(0, SEEK_END), 10);
    ASSERT_EQ(f.seek(14, SEEK_SET), 14);
    ASSERT_EQ(f.write("ab", 2), 2);
    EXPECT_EQ(f.seek(0, SEEK_END), 16);
    ASSERT_EQ(f.close(), RiffResult::ok);
    Bytes expected;
    putText(expected, "012XY56789");
    expected.insert(expected.end(), 4, 0);
    putText(expected, "ab");
    EXPECT_EQ(readFile(file.path()), expected);
}

TEST(RiffOpen, ReportsErrno) {
    ScratchFile file;
    RiffFile f;
    EXPECT_EQ(f.open(file.path(), RiffFile::Mode::read), ENOENT);
    EXPECT_FALSE(f.isOpen());
    const char* dir = std::getenv("TONEWELL_TEST_TMP");
    const char* dirPath = dir && *dir ? dir : "/tmp";
    EXPECT_EQ(f.open(dirPath, RiffFile::Mode::read), EISDIR);
    EXPECT_EQ(f.open(dirPath, RiffFile::Mode::createReadWrite), EISDIR);
    EXPECT_EQ(f.open("/nonexistent-dir/x.wav", RiffFile::Mode::createReadWrite), ENOENT);
    EXPECT_EQ(f.open("", RiffFile::Mode::read), ENOENT);
    EXPECT_EQ(f.close(), RiffResult::notOpen);

    // Creating truncates an existing file.
    writeFile(file.path(), pattern(100));
    ASSERT_EQ(f.open(file.path(), RiffFile::Mode::createReadWrite), 0);
    EXPECT_TRUE(f.isWritable());
    EXPECT_EQ(f.seek(0, SEEK_END), 0);
    ASSERT_EQ(f.close(), RiffResult::ok);
    EXPECT_TRUE(readFile(file.path()).empty());
}

}  // namespace
}  // namespace tw
