// Volume, wait and host clean-up of output tasks (input/ConfigureTest.cpp
// holds their configuration and state queries).
#include <thread>

#include "OutputHarness.h"
#include "host/ThreadHold.h"

namespace outtest {
namespace {

class Control : public OutputTest {};

TEST_F(Control, VolumeReadsBackThroughTheCurve) {
    Task task = configure(256, 8000, 2, 16, 0);
    ASSERT_EQ(task.result, 0);
    // The curve itself is held to its values where it is defined.
    const std::vector<std::pair<int32_t, int32_t>> pairs = {{0, 0}, {1, 2}, {50, 51}, {100, 100}, {150, 100}, {-5, 0}};
    for (auto [set, read] : pairs) {
        auto volume = testhost::makeInt32Array({set, 77});
        EXPECT_EQ(library()->SOVolume(task.refnum, volume.get()), 0);
        auto volumes = testhost::makeInt32Array({});
        uint8_t flag = 1;
        EXPECT_EQ(library()->SOInfo(task.refnum, volumes.get(), &flag), 0);
        EXPECT_EQ(testhost::readInt32Array(volumes.get()), std::vector<int32_t>(2, read)) << "set " << set;
        EXPECT_EQ(flag, 0);
    }
    auto empty = testhost::makeInt32Array({});
    EXPECT_EQ(library()->SOVolume(task.refnum, empty.get()), TW_E_ARGUMENT);
    EXPECT_EQ(library()->SOClear(task.refnum), 0);
}

// A wait polls until the buffer stops or its limit, and registers the same
// clean-up however often it is called. The host's clean-up shuts a playing
// task down (a second time does nothing) and leaves it to be cleared.
TEST_F(Control, WaitPollsUntilTheBufferStopsAndHostCleanupShutsTheTaskDown) {
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
    Task task = configure(2048, 8000, 2, 16, TW_MODE_CONTINUOUS);
    ASSERT_EQ(task.result, 0);
    Pacer pacer({testhost::currentThreadId()});
    const size_t registrations = testhost::registrationCount();
    EXPECT_EQ(library()->SOWait(task.refnum, 2), 0);  // stopped: at once
    auto block = rampBlock(0, 4096);
    ASSERT_EQ(library()->SOWrite(task.refnum, block.get(), -1, TW_TYPE_I16), 0);
    ASSERT_TRUE(running(task.refnum));
    EXPECT_EQ(library()->SOWait(task.refnum, 0), 0);
    EXPECT_EQ(library()->SOWait(task.refnum, 0.0001), TW_E_TIMEOUT);
    EXPECT_EQ(library()->SOWait(task.refnum, -1), 0);
    EXPECT_FALSE(running(task.refnum));
    expectRamp(checkRamp(heard(task), 4096), {0});
    EXPECT_EQ(library()->SOWait(task.refnum, 0.0001), TW_E_TIMEOUT);
    for (int i = 0; i < 20; ++i) library()->SOWait(task.refnum, 0);
    EXPECT_EQ(testhost::registrationCount(), registrations + 1);

    pacer.stop();  // the next block plays until the clean-up
    auto fits = rampBlock(0, 1500);
    ASSERT_EQ(library()->SOWrite(task.refnum, fits.get(), -1, TW_TYPE_I16), TW_W_PLAYBACK_ENDED);
    ASSERT_TRUE(running(task.refnum));
    for (int32_t result : testhost::runCleanups()) EXPECT_EQ(result, 0);
    for (int32_t result : testhost::runCleanups()) EXPECT_EQ(result, 0);
    EXPECT_FALSE(running(task.refnum));
    tws_virtual_counts counts{};
    virtualDriver().tws_virtual_live_counts(&counts);
    EXPECT_EQ(counts.buffers, 0u);
    EXPECT_EQ(library()->SOWrite(task.refnum, block.get(), -1, TW_TYPE_I16), TW_E_FORMAT);
    // Empty in either dimension: nothing to play, so no buffer is needed.
    for (auto& empty : {testhost::makeArray2D(TW_TYPE_I16, 2, 0), testhost::makeArray2D(TW_TYPE_I16, 0, 5)})
        EXPECT_EQ(library()->SOWrite(task.refnum, empty.get(), -1, TW_TYPE_I16), 0);
    EXPECT_EQ(library()->SOStart(task.refnum), TW_E_DEVICE);
    EXPECT_EQ(library()->SOClear(task.refnum), 0);
    EXPECT_EQ(testhost::registrationCount(), registrations - 1);
    EXPECT_EQ(library()->SOStart(task.refnum), TW_E_BAD_REFNUM);
}

}  // namespace
}  // namespace outtest
