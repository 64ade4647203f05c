// Chunk creation, size correction, pad bytes and chunk search. (The chunks
// of a WAV file, written and found in any order, are held to exact bytes by
// the sound file tests. No caller writes through a file opened for reading
// or searches for a form by its type.)
#include <cerrno>
#include <cstdio>

#include <gtest/gtest.h>

#include "RiffTestFiles.h"
#include "file/RiffFile.h"

namespace tw {
namespace {

using namespace test;

constexpr FourCC kFmt = makeFourCC('f', 'm', 't', ' ');
constexpr FourCC kData = makeFourCC('d', 'a', 't', 'a');

RiffChunkInfo chunk(FourCC id, uint32_t size = 0) {
    RiffChunkInfo ck;
    ck.ckid = id;
    ck.cksize = size;
    return ck;
}

// Chunks found behind odd ones, and no chunk past a parent's end, the WAV
// reader's tests hold.
TEST(RiffChunkWrite, NestedOddChunksGetPadsAndCorrectedSizes) {
    ScratchFile file;
    {
        RiffFile f;
        ASSERT_EQ(f.open(file.path(), RiffFile::Mode::createReadWrite, 16), 0);
        RiffChunkInfo outer = chunk(makeFourCC('o', 'u', 't', 'r'), 1000);
        ASSERT_EQ(f.createChunk(outer, 0), RiffResult::ok);
        RiffChunkInfo a = chunk(makeFourCC('a', 'a', 'a', 'a'));
        ASSERT_EQ(f.createChunk(a, 0), RiffResult::ok);
        ASSERT_EQ(f.write("xyz", 3), 3);
        ASSERT_EQ(f.ascend(a), RiffResult::ok);
        RiffChunkInfo b = chunk(makeFourCC('b', 'b', 'b', 'b'), 1);
        ASSERT_EQ(f.createChunk(b, 0), RiffResult::ok);
        ASSERT_EQ(f.write("q", 1), 1);
        ASSERT_EQ(f.ascend(b), RiffResult::ok);
        ASSERT_EQ(f.ascend(outer), RiffResult::ok);
        EXPECT_EQ(outer.cksize, 22u);
        EXPECT_EQ(f.ascend(outer), RiffResult::ok) << "an ascended chunk is no longer dirty";
        EXPECT_EQ(f.tell(), 30) << "ascending a finished chunk skips it";
    }
    Bytes inner;
    putChunk(inner, "aaaa", {'x', 'y', 'z'});
    putChunk(inner, "bbbb", {'q'});
    Bytes expected;
    putChunk(expected, "outr", inner);
    EXPECT_EQ(readFile(file.path()), expected);
}

TEST(RiffChunkWrite, AscendSizeLimitsAt4GiB) {
    ScratchFile file;
    RiffFile f;
    ASSERT_EQ(f.open(file.path(), RiffFile::Mode::createReadWrite), 0);
    RiffChunkInfo big = chunk(kData);
    ASSERT_EQ(f.createChunk(big, 0), RiffResult::ok);
    // Positions past the 32-bit range without writing the bytes.
    ASSERT_EQ(f.seek(8 + 0xFFFFFFFEll, SEEK_SET), 8 + 0xFFFFFFFEll);
    ASSERT_EQ(f.ascend(big), RiffResult::ok);
    EXPECT_EQ(big.cksize, 0xFFFFFFFEu);

    RiffChunkInfo tooBig = chunk(kData);
    ASSERT_EQ(f.seek(0, SEEK_SET), 0);
    ASSERT_EQ(f.createChunk(tooBig, 0), RiffResult::ok);
    ASSERT_EQ(f.seek(8 + 0x100000002ll, SEEK_SET), 8 + 0x100000002ll);
    EXPECT_EQ(f.ascend(tooBig), RiffResult::cannotWrite);
    EXPECT_EQ(f.lastError(), EFBIG);
    ASSERT_EQ(f.close(), RiffResult::ok);
    Bytes expected;
    putText(expected, "data");
    put32(expected, 0);
    EXPECT_EQ(readFile(file.path()), expected) << "the failed ascend wrote no wrapped size";
}

// RIFF WAVE with "junk" (odd), "data", "fmt " inside, then "xtra" behind it.
Bytes sampleForm() {
    Bytes chunks;
    putChunk(chunks, "junk", {9, 9, 9});
    putChunk(chunks, "data", {1, 2, 3, 4});
    putChunk(chunks, "fmt ", pattern(16, 3));
    Bytes out = riffWave(chunks);
    putChunk(out, "xtra", {5, 6});
    return out;
}

TEST(RiffChunkSearch, TruncatedFilesFailCleanly) {
    ScratchFile file;
    const Bytes whole = sampleForm();
    // Every cut inside the form header gives no RIFF chunk.
    for (size_t cut : {size_t(0), size_t(5), size_t(8), size_t(11)}) {
        writeFile(file.path(), Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
        RiffFile f;
        ASSERT_EQ(f.open(file.path(), RiffFile::Mode::read, 16), 0);
        RiffChunkInfo riff;
        EXPECT_EQ(f.descend(riff, nullptr, 0), RiffResult::chunkNotFound) << "cut at " << cut;
        EXPECT_EQ(f.tell(), 0);
    }
    // Cut inside the format chunk: it is found, its data reads short, and the
    // search behind it finds nothing.
    writeFile(file.path(), Bytes(whole.begin(), whole.begin() + 50));
    RiffFile f;
    ASSERT_EQ(f.open(file.path(), RiffFile::Mode::read, 16), 0);
    RiffChunkInfo riff;
    ASSERT_EQ(f.descend(riff, nullptr, 0), RiffResult::ok);
    RiffChunkInfo fmt = chunk(kFmt);
    ASSERT_EQ(f.descend(fmt, &riff, kRiffFindChunk), RiffResult::ok);
    unsigned char got[16];
    EXPECT_EQ(f.read(got, 16), 6);
    EXPECT_EQ(f.read(got, 16), 0);
    ASSERT_EQ(f.ascend(fmt), RiffResult::ok);
    RiffChunkInfo any = chunk(kData);
    EXPECT_EQ(f.descend(any, &riff, kRiffFindChunk), RiffResult::chunkNotFound);
}

TEST(RiffChunkSearch, AbsurdSizesStayWithin64BitArithmetic) {
    ScratchFile file;
    Bytes body;
    putText(body, "WAVE");
    putChunk(body, "junk", {}, 0xFFFFFFFFu);
    putChunk(body, "data", {1, 2, 3, 4});
    Bytes bytes;
    putChunk(bytes, "RIFF", body, 0xFFFFFFFFu);
    writeFile(file.path(), bytes);

    RiffFile f;
    ASSERT_EQ(f.open(file.path(), RiffFile::Mode::read, 16), 0);
    RiffChunkInfo riff;
    ASSERT_EQ(f.descend(riff, nullptr, 0), RiffResult::ok);
    EXPECT_EQ(riff.cksize, 0xFFFFFFFFu);
    // "junk" claims 4 GiB, so "data" lies inside it and is never reached.
    RiffChunkInfo data = chunk(kData);
    EXPECT_EQ(f.descend(data, &riff, kRiffFindChunk), RiffResult::chunkNotFound);
    RiffChunkInfo junk = chunk(makeFourCC('j', 'u', 'n', 'k'));
    ASSERT_EQ(f.descend(junk, &riff, kRiffFindChunk), RiffResult::ok);
    Bytes got(64);
    EXPECT_EQ(f.read(got.data(), got.size()), 12) << "reads stop at the end of the file";
    ASSERT_EQ(f.ascend(junk), RiffResult::ok);
    EXPECT_EQ(f.tell(), 20 + 0x100000000ll) << "odd 0xFFFFFFFF plus its pad byte";
    EXPECT_EQ(f.read(got.data(), got.size()), 0);
    RiffChunkInfo none;
    EXPECT_EQ(f.descend(none, nullptr, 0), RiffResult::chunkNotFound);
    ASSERT_EQ(f.ascend(riff), RiffResult::ok);
    EXPECT_EQ(f.tell(), 8 + 0x100000000ll);
}

}  // namespace
}  // namespace tw
