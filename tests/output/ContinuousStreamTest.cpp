// Continuous streaming, judged by what the virtual device heard.
#include <thread>
#include <utility>

#include "OutputHarness.h"
#include "host/ThreadHold.h"

namespace outtest {
namespace {

class ContinuousStream : public OutputTest {};

// 8 kHz stereo 16-bit, a ring of 2048 frames: quarters of 512 frames, 32 ms
// of real time at double speed.
constexpr int32_t kRingFrames = 2048;
constexpr uint32_t kQuarter = 512;

// A ring of 2048 frames, and one of 2045 whose quarters (511, 511, 511 and
// 512 frames) are not a quarter of its length. The clock moves a quarter at a
// time once the writer and the worker both sleep, so the host never falls
// behind, however loaded the machine.
TEST_F(ContinuousStream, EverySampleOnceInOrderThenTheStreamEnds) {
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
    for (uint32_t ring : {2048u, 2045u}) {
        SCOPED_TRACE("ring of " + std::to_string(ring) + " frames");
        Task task = configure(static_cast<int32_t>(ring), 8000, 2, 16, TW_MODE_CONTINUOUS);
        ASSERT_EQ(task.result, 0);
        // Multiples of a quarter and not, smaller and larger than the ring.
        const std::vector<uint32_t> sizes = {512, 700, 1024, 3000, 513, 2048, 1500, 4096, 777, 1536, 5000};
        std::set<uint32_t> starts;
        uint32_t total = 0;
        for (uint32_t frames : sizes) starts.insert(std::exchange(total, total + frames));
        testhost::CallThread writer([&] {
            uint32_t first = 0;
            for (uint32_t frames : sizes) {
                auto block = rampBlock(first, frames);
                EXPECT_EQ(library()->SOWrite(task.refnum, block.get(), -1, TW_TYPE_I16), 0)
                    << "block at " << first;
                first += frames;
            }
        });
        Pacer pacer({writer.id()}, ring / 4);
        writer.join();
        while (running(task.refnum)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // From here the clock stands still, so the block written after the
        // end cannot play out before the second write looks.
        pacer.stop();

        std::vector<uint8_t> tap = heard(task);
        RampReport report = checkRamp(tap, total);
        expectRamp(report, starts);
        // The last block's quarter is filled up with silence; the buffer
        // stops within the quarter after it.
        const uint32_t end = static_cast<uint32_t>((tap.size() / 4 - report.trailingSilence) % ring);
        uint32_t boundary = 0;
        for (uint32_t i = 1; boundary < end; ++i) boundary = ring * i / 4;
        EXPECT_GE(report.trailingSilence, boundary - end);

        auto next = rampBlock(0, 10);
        EXPECT_EQ(library()->SOWrite(task.refnum, next.get(), -1, TW_TYPE_I16), TW_W_PLAYBACK_ENDED);
        EXPECT_EQ(library()->SOWrite(task.refnum, next.get(), -1, TW_TYPE_I16), 0);
        EXPECT_EQ(library()->SOClear(task.refnum), 0);
    }
}

// On the manual clock every block comes before the cursor reaches the end of
// the one before it, and the blocks of each step exactly fill the quarter the
// step frees: whatever their sizes, the stream has no gap.
TEST_F(ContinuousStream, BlocksThatComeInTimeFollowWithoutAGap) {
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
    Task task = configure(kRingFrames, 8000, 2, 16, TW_MODE_CONTINUOUS);
    ASSERT_EQ(task.result, 0);
    const std::vector<std::vector<uint32_t>> steps = {{700, 300, 1000, 48}, {512},      {100, 412}, {511, 1},
                                                      {1, 255, 256},        {300, 212}, {512}};
    uint32_t total = 0;
    for (const auto& step : steps) {
        if (total > 0) {
            ASSERT_EQ(virtualDriver().tws_virtual_advance(kQuarter), TWS_OK);
        }
        for (uint32_t frames : step) {
            auto block = rampBlock(total, frames);
            ASSERT_EQ(library()->SOWrite(task.refnum, block.get(), -1, TW_TYPE_I16), 0);
            total += frames;
        }
    }
    Pacer pacer({testhost::currentThreadId()}, kQuarter);
    ASSERT_EQ(library()->SOWait(task.refnum, -1), 0);
    RampReport report = checkRamp(heard(task), total);
    expectRamp(report, {});
    // The data ends on a boundary: the buffer stops there.
    EXPECT_EQ(report.trailingSilence % kQuarter, 0u);
    EXPECT_EQ(library()->SOClear(task.refnum), 0);
}

// A block that arrives while the cursor plays the silence after the previous
// one goes ahead of the cursor: nothing stale plays, and it is heard although
// the stream would have ended at the next quarter.
TEST_F(ContinuousStream, LateBlockIsHeardAheadOfTheCursor) {
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
    Task task = configure(4096, 8000, 2, 16, TW_MODE_CONTINUOUS);  // quarters of 1024 frames
    ASSERT_EQ(task.result, 0);
    Pacer pacer({testhost::currentThreadId()});
    auto first = rampBlock(0, 1280);
    auto second = rampBlock(1280, 200);
    ASSERT_EQ(library()->SOWrite(task.refnum, first.get(), -1, TW_TYPE_I16), 0);
    while (heardBytes(task) < 1300 * 4) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const int32_t r = library()->SOWrite(task.refnum, second.get(), -1, TW_TYPE_I16);
    EXPECT_TRUE(r == 0 || r == TW_W_PLAYBACK_ENDED) << r;
    ASSERT_EQ(library()->SOWait(task.refnum, -1), 0);

    RampReport report = checkRamp(heard(task), 1480);
    expectRamp(report, {0, 1280});
    EXPECT_GE(report.silenceBefore[1280], 20u);
    EXPECT_EQ(library()->SOClear(task.refnum), 0);
}

// The cursor once passes three quarters while the worker is held up
// restoring a lost buffer (two failed attempts, 20 ms each), then jumps one
// and a half quarters at a time: notifications merge and the worker finds the
// cursor quarters past where it expected. The quarters are counted from the
// positions, so nothing is lost.
TEST_F(ContinuousStream, LateWorkerLosesNoQuarter) {
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
    Task task = configure(kRingFrames, 8000, 2, 16, TW_MODE_CONTINUOUS);
    ASSERT_EQ(task.result, 0);
    const uint32_t total = 3 * kRingFrames + 300;
    auto block = rampBlock(0, total);
    int32_t writeResult = -1;
    testhost::CallThread writer([&] { writeResult = library()->SOWrite(task.refnum, block.get(), -1, TW_TYPE_I16); });
    while (!running(task.refnum)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(virtualDriver().tws_virtual_lose_output(task.tap, 2), TWS_OK);
    for (int i = 0; i < 3; ++i) {
        virtualDriver().tws_virtual_advance(kQuarter);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    {
        Pacer pacer({testhost::currentThreadId(), writer.id()}, kQuarter * 3 / 2);
        while (running(task.refnum)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    EXPECT_EQ(writeResult, 0);
    expectRamp(checkRamp(heard(task), total), {0});
    EXPECT_EQ(library()->SOClear(task.refnum), 0);
}

// The device takes the buffer away while it plays, or before the first
// block; the worker restores it (after failed attempts 20 ms apart) and the
// stream goes on whole. A device that stays away fails the stream with the
// lost-buffer code, and the buffer stops.
TEST_F(ContinuousStream, LostBufferIsRestoredOrFailsTheStream) {
    struct Case {
        bool idle;
        uint32_t failures;
        int32_t code;
    };
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
    for (Case c : {Case{false, 1, 0}, Case{true, 2, 0}, Case{false, 1000000, TW_E_GENERIC}}) {
        SCOPED_TRACE(testing::Message() << (c.idle ? "idle, " : "playing, ") << c.failures << " failures");
        Task task = configure(kRingFrames, 8000, 2, 16, TW_MODE_CONTINUOUS);
        ASSERT_EQ(task.result, 0);
        Pacer pacer({testhost::currentThreadId()});
        auto first = rampBlock(0, 3000);
        auto second = rampBlock(3000, 3000);
        auto lose = [&] { return virtualDriver().tws_virtual_lose_output(task.tap, c.failures); };
        EXPECT_EQ(c.idle ? lose() : TWS_OK, TWS_OK);
        ASSERT_EQ(library()->SOWrite(task.refnum, first.get(), -1, TW_TYPE_I16), 0);
        EXPECT_EQ(c.idle ? TWS_OK : lose(), TWS_OK);
        EXPECT_EQ(library()->SOWrite(task.refnum, second.get(), -1, TW_TYPE_I16), c.code);
        if (c.code == 0) {
            ASSERT_EQ(library()->SOWait(task.refnum, -1), 0);
            expectRamp(checkRamp(heard(task), 6000), {0, 3000});
        } else {
            EXPECT_FALSE(running(task.refnum));
            EXPECT_EQ(library()->SOStop(task.refnum), c.code);
        }
        EXPECT_EQ(library()->SOClear(task.refnum), 0);
    }
}

}  // namespace
}  // namespace outtest
