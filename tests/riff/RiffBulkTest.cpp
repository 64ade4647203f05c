// Large transfers, and write failures at the file size limit.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include <gtest/gtest.h>

#ifndef _WIN32
#include "../file/ChildProcess.h"
#endif
#include "RiffTestFiles.h"
#include "host/SingleThreaded.h"
#include "file/RiffFile.h"

namespace tw {
namespace {

using namespace test;

constexpr FourCC kData = makeFourCC('d', 'a', 't', 'a');

// Pieces of every kind: inside the buffer, straddling it, larger than it;
// an odd size gets its pad byte, and a read asking past the end stops there.
// Long files get space reserved ahead of their writes; none of it may stay
// allocated past the end once the file is closed.
TEST(RiffBulk, MixedPieceSizesAreBitExactAndNoSpaceIsLeftReserved) {
    SKIP_UNDER_THREAD_SANITIZER();
    ScratchFile file;
    const Bytes samples = pattern(6 * 1024 * 1024 + 3, 12);
    const size_t writes[] = {1, 777, 65536, 100000, 3 * 1024 * 1024, 13, 65535, 4096};
    const size_t reads[] = {5000, 1024 * 1024 + 3, 1, 65537, 2 * 1024 * 1024, 7, 300000};
    RiffFile f;
    ASSERT_EQ(f.open(file.path(), RiffFile::Mode::createReadWrite), 0);
    RiffChunkInfo data;
    data.ckid = kData;
    ASSERT_EQ(f.createChunk(data, 0), RiffResult::ok);
    for (size_t done = 0, i = 0; done < samples.size(); ++i) {
        const size_t n = std::min(writes[i % std::size(writes)], samples.size() - done);
        ASSERT_EQ(f.write(samples.data() + done, n), static_cast<int64_t>(n));
        done += n;
    }
    ASSERT_EQ(f.ascend(data), RiffResult::ok);

    // Read back through the same (read-write) file.
    ASSERT_EQ(f.seek(0, SEEK_SET), 0);
    ASSERT_EQ(f.descend(data, nullptr, 0), RiffResult::ok);
    EXPECT_EQ(data.cksize, samples.size());
    Bytes got(samples.size() + 100);
    for (size_t done = 0, i = 0; done < samples.size(); ++i) {
        const size_t n = std::min(reads[i % std::size(reads)], samples.size() - done);
        ASSERT_EQ(f.read(got.data() + done, n), static_cast<int64_t>(n));
        done += n;
    }
    EXPECT_EQ(f.read(got.data() + samples.size(), 100), 1) << "only the pad byte is left";
    got.resize(samples.size());
    EXPECT_EQ(got, samples);
    ASSERT_EQ(f.close(), RiffResult::ok);
    Bytes expected;
    putChunk(expected, "data", samples);  // with its pad byte
    EXPECT_EQ(readFile(file.path()), expected);
#ifndef _WIN32  // Windows reports no allocated blocks
    struct stat st {};
    ASSERT_EQ(::stat(file.path(), &st), 0);
    EXPECT_LT(static_cast<int64_t>(st.st_blocks) * 512, st.st_size + (1 << 20));
#endif
}

#ifndef _WIN32  // Windows has no file size limit to set

constexpr rlim_t kSizeLimit = 100000;

const Bytes& limitedSamples() {
    static const Bytes samples = pattern(3 * kSizeLimit, 21);
    return samples;
}

// Steps in a child after a data chunk was begun in a file of 4096-byte
// buffers: 0 when each held, else the number of the one that failed.
int bulkWritePastLimit(RiffFile& f, RiffChunkInfo&) {
    const Bytes& samples = limitedSamples();
    if (f.write(samples.data(), 50000) != 50000) return 3;
    if (f.write(samples.data() + 50000, 200000) != -1) return 4;
    if (f.lastError() != EFBIG) return 5;
    if (f.tell() != 8 + 50000) return 6;
    if (f.close() != RiffResult::ok) return 7;
    return 0;
}

int directWritePastLimit(RiffFile& f, RiffChunkInfo& data) {
    const RiffResult r = writeDirect(f, limitedSamples());
    if (r == RiffResult::ok) return 4;  // the limit was never met
    if (r != RiffResult::cannotWrite || f.lastError() != EFBIG) return 3;
    if (f.ascend(data) != RiffResult::cannotWrite) return 5;
    if (f.close() != RiffResult::cannotWrite || f.lastError() != EFBIG) return 6;
    return 0;
}

// What reaches the disk stops below the limit and holds the data chunk's
// header and the first `intact` bytes unchanged; the failed write may leave
// a partial tail behind them.
TEST(RiffWriteFailure, WritesPastTheSizeLimitAreReported) {
    const struct {
        const char* name;
        int (*body)(RiffFile&, RiffChunkInfo&);
        size_t intact;
    } cases[] = {
        {"bulk write", bulkWritePastLimit, 8 + 50000},
        // Whole buffers of 4096 bytes fit below the limit; the one that crosses it fails.
        {"buffer advance", directWritePastLimit, (kSizeLimit / 4096) * 4096},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFile file;
        const int status = testchild::inChild(testchild::limitFileSize(kSizeLimit), [&] {
            RiffFile f;
            RiffChunkInfo data;
            data.ckid = kData;
            const bool begun = f.open(file.path(), RiffFile::Mode::createReadWrite, 4096) == 0 &&
                               f.createChunk(data, 0) == RiffResult::ok;
            return begun ? c.body(f, data) : 1;
        });
        ASSERT_EQ(status, 0) << "100: no limit; else the step that failed";
        const Bytes onDisk = readFile(file.path());
        ASSERT_GE(onDisk.size(), c.intact);
        ASSERT_LE(onDisk.size(), kSizeLimit);
        Bytes expected{'d', 'a', 't', 'a', 0, 0, 0, 0};
        expected.insert(expected.end(), limitedSamples().begin(), limitedSamples().begin() + (c.intact - 8));
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), onDisk.begin()));
    }
}
#endif

}  // namespace
}  // namespace tw
