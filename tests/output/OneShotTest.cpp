// One-shot output: each write goes straight into the ring, which plays once.
#include "OutputHarness.h"

namespace outtest {
namespace {

class OneShot : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        virtualDriver().tws_virtual_set_speed(4.0);
    }
};

constexpr int32_t kRingFrames = 1024;

TEST_F(OneShot, BlockThatFitsPlaysOnceFollowedBySilence) {
    Task task = configure(kRingFrames, 8000, 2, 16, TW_MODE_ONE_SHOT);
    ASSERT_EQ(task.result, 0);
    auto first = rampBlock(0, 600);
    ASSERT_EQ(library()->SOWrite(task.refnum, first.get(), 1, TW_TYPE_I16), 0);
    ASSERT_EQ(library()->SOWait(task.refnum, -1), 0);
    // The buffer stopped at its end: exactly one pass of the ring was heard.
    EXPECT_EQ(heardBytes(task), kRingFrames * 4u);
    RampReport report = checkRamp(heard(task), 600);
    expectRamp(report, {0});
    EXPECT_EQ(report.trailingSilence, kRingFrames - 600u);

    // After stop a shorter block plays, and nothing of the first one follows it.
    ASSERT_EQ(library()->SOStop(task.refnum), 0);
    auto second = rampBlock(0, 300);
    ASSERT_EQ(library()->SOWrite(task.refnum, second.get(), 1, TW_TYPE_I16), 0);
    ASSERT_EQ(library()->SOWait(task.refnum, -1), 0);
    std::vector<uint8_t> tap = heard(task);
    ASSERT_EQ(tap.size(), 2u * kRingFrames * 4);
    RampReport again = checkRamp({tap.begin() + kRingFrames * 4, tap.end()}, 300);
    expectRamp(again, {0});
    EXPECT_EQ(again.trailingSilence, kRingFrames - 300u);
    EXPECT_EQ(library()->SOClear(task.refnum), 0);
}

// A second write while the first block plays follows it without a gap (and
// a wait with a limit ends with it while the block plays).
TEST_F(OneShot, SecondWriteWhileTheFirstPlaysFollowsIt) {
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
    Task task = configure(kRingFrames, 8000, 2, 16, TW_MODE_ONE_SHOT);
    ASSERT_EQ(task.result, 0);
    auto first = rampBlock(0, 600);
    auto second = rampBlock(600, 300);
    ASSERT_EQ(library()->SOWrite(task.refnum, first.get(), 1, TW_TYPE_I16), 0);
    ASSERT_EQ(virtualDriver().tws_virtual_advance(100), TWS_OK);
    EXPECT_EQ(library()->SOWait(task.refnum, 0.03), TW_E_TIMEOUT) << "the manual clock stands still";
    ASSERT_EQ(library()->SOWrite(task.refnum, second.get(), 1, TW_TYPE_I16), 0);
    ASSERT_EQ(virtualDriver().tws_virtual_advance(kRingFrames), TWS_OK);
    EXPECT_FALSE(running(task.refnum));
    RampReport report = checkRamp(heard(task), 900);
    expectRamp(report, {});
    EXPECT_EQ(report.trailingSilence, kRingFrames - 900u);
    EXPECT_EQ(library()->SOClear(task.refnum), 0);
}

// A block longer than the ring plays the first ring and reports the rest; a
// start plays the ring once again.
TEST_F(OneShot, BlockLongerThanTheRingAndStartPlayTheRingOnce) {
    Task task = configure(kRingFrames, 8000, 2, 16, 2);  // any mode but 1 is one-shot
    ASSERT_EQ(task.result, 0);
    auto block = rampBlock(0, kRingFrames * 3 / 2);
    EXPECT_EQ(library()->SOWrite(task.refnum, block.get(), 1, TW_TYPE_I16), TW_E_INCOMPLETE);
    // No free byte until stop.
    EXPECT_EQ(library()->SOWrite(task.refnum, block.get(), 1, TW_TYPE_I16), TW_E_INCOMPLETE);
    ASSERT_EQ(library()->SOWait(task.refnum, -1), 0);
    EXPECT_EQ(heardBytes(task), kRingFrames * 4u);
    expectRamp(checkRamp(heard(task), kRingFrames), {0});

    ASSERT_EQ(library()->SOStart(task.refnum), 0);
    ASSERT_EQ(library()->SOWait(task.refnum, -1), 0);
    EXPECT_EQ(heardBytes(task), 2 * kRingFrames * 4u);
    EXPECT_FALSE(running(task.refnum));
    ASSERT_EQ(library()->SOStop(task.refnum), 0);
    auto small = rampBlock(0, 10);
    EXPECT_EQ(library()->SOWrite(task.refnum, small.get(), 1, TW_TYPE_I16), 0);
    EXPECT_EQ(library()->SOClear(task.refnum), 0);
}

}  // namespace
}  // namespace outtest
