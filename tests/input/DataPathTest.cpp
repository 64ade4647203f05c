// Continuous capture delivers every frame once, in order, without gaps, in
// every host type from every device width; the total counts completed reads.
#include <algorithm>

#include "InputTestSupport.h"

namespace inputtest {
namespace {

class InputDataPath : public InputTest {};

// Real-time clock: reads smaller and larger than the ring, most of them not
// a multiple of a quarter (ring 4410 frames, quarter 1102.5 frames).
TEST_F(InputDataPath, BlocksOfManySizesJoinUpWithoutGaps) {
    TaskRefnum refnum = open(4410);
    const int32_t sizes[] = {1, 4409, 4410, 4411, 3, 9000, 1102, 1103, 2205, 13231, 7, 777, 5000};
    uint64_t next = 0;
    int32_t total = 0;
    for (int32_t size : sizes) {
        Read r = read(refnum, size, 20.0);
        ASSERT_EQ(r.result, 0) << "read of " << size;
        ASSERT_EQ(r.cols, size);
        ASSERT_TRUE(holdsFrames(r.array.get(), TW_TYPE_I16, 16, 2, next)) << "read of " << size;
        next += size;
        total += size;
        EXPECT_EQ(r.total, total);
    }
}

// Manual clock: each read is served by whole quarters already captured, in
// every host type, from 8-, 16-, 24- and 32-bit devices, across ring wraps.
TEST_F(InputDataPath, EveryHostTypeFromEveryDeviceWidth) {
    ASSERT_EQ(vd().tws_virtual_set_manual_clock(1), 0);
    constexpr int32_t kRing = 64, kQuarter = 16;
    const int32_t sizes[] = {1, 15, 16, 17, 30, 33, 47, 1, 48, 5};
    for (int bits : {8, 16, 24, 32}) {
        for (uint16_t type : {TW_TYPE_U8, TW_TYPE_I16, TW_TYPE_I32, TW_TYPE_F32, TW_TYPE_F64}) {
            SCOPED_TRACE(::testing::Message() << bits << "-bit device, type " << type);
            TaskRefnum refnum = open(kRing, {22050.0, 3, bits});
            uint64_t advanced = 0, next = 0;
            for (int32_t size : sizes) {
                // Capture whole quarters until the read can be served at once.
                while ((advanced - next) / kQuarter * kQuarter < uint64_t(size)) {
                    advance(kQuarter);
                    advanced += kQuarter;
                }
                Read r = read(refnum, size, 5.0, type);
                ASSERT_EQ(r.result, 0);
                ASSERT_TRUE(holdsFrames(r.array.get(), type, bits, 3, next));
                next += size;
                EXPECT_EQ(uint64_t(r.total), next);
            }
            api().SIClear(refnum);
        }
    }
}

// Reads that give up early still hand back what they got; frames are never
// lost or doubled between them, and the total counts only full arrays. The
// worker's wake for a quarter that comes after a read gave up must not end
// the next read early.
TEST_F(InputDataPath, ReadsThatTimeOutLoseNothing) {
    ASSERT_EQ(vd().tws_virtual_set_manual_clock(1), 0);
    TaskRefnum refnum = open(64);  // quarters of 16 frames
    const pid_t worker = testhost::threadNamed("tw-capture");
    EXPECT_EQ(read(refnum, 0, 0.05).result, 4822) << "a read of nothing waits for its time-out too";
    uint64_t next = 0;
    int32_t held = 0, completed = 0;
    // Quarters captured before each read of 32 frames.
    for (int quarters : {0, 1, 1, 2, 3, 0, 1, 2, 0}) {
        SCOPED_TRACE(::testing::Message() << "frame " << next << ", " << quarters << " quarters more");
        if (quarters) advance(16 * quarters);
        testhost::awaitSleeping(worker);
        held += 16 * quarters;
        const int32_t got = std::min(held, 32);
        Read r = read(refnum, 32, 0.05);
        EXPECT_EQ(r.result, got == 32 ? 0 : 4822);
        ASSERT_EQ(r.rows, 2) << "the array keeps one row a channel";
        ASSERT_EQ(r.cols, got);
        ASSERT_TRUE(holdsFrames(r.array.get(), TW_TYPE_I16, 16, 2, next));
        next += static_cast<uint64_t>(got);
        held -= got;
        if (got == 32) completed += 32;
        EXPECT_EQ(r.total, completed);
    }
}

}  // namespace
}  // namespace inputtest
