// The continuous output worker seen from inside: how often it wakes, and what
// it has done by the time a test moves the manual clock on.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "OutputHarness.h"
#include "host/ThreadHold.h"
#include "core/OutputConfiguration.h"
#include "core/RefnumRegistry.h"
#include "core/Registries.h"
#include "output/OutputConfigurationData.h"

namespace {

using outtest::Task;
using testhost::virtualDriver;

constexpr uint32_t kRingFrames = 2048;
constexpr uint32_t kQuarter = kRingFrames / 4;

uint64_t wakeups(TaskRefnum refnum) {
    tw::Acquired<tw::OutputConfiguration> task(tw::outputTaskRegistry(), refnum, false);
    const auto* data = dynamic_cast<const tw::OutputConfigurationData*>(task.get());
    return data ? data->wakeups() : 0;
}

bool running(TaskRefnum refnum) {
    uint8_t input = 0, isRunning = 0, continuous = 0;
    GetConfState(refnum, &input, &isRunning, &continuous);
    return isRunning != 0;
}

// Polls a state the worker reaches on its own; false after 10 s.
template <typename Done>
bool eventually(Done done) {
    for (int i = 0; i < 10000; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

class Worker : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(virtualDriver().loaded());
        virtualDriver().tws_virtual_reset();
        ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
        task_.tap = virtualDriver().tws_virtual_output_count();
        ASSERT_EQ(SOConfigure(0, kRingFrames, &task_.rate, &task_.channels, &task_.bits, TW_MODE_CONTINUOUS,
                              &task_.refnum),
                  0);
        worker_ = testhost::threadNamed("tw-output");
        ASSERT_GT(worker_, 0);
    }
    void TearDown() override {
        if (writer_.joinable()) writer_.join();
        SOClear(task_.refnum);
        virtualDriver().tws_virtual_reset();
    }

    // Writes frames [0, frames) of the ramp on a thread; returns once it plays.
    void startWrite(uint32_t frames) {
        block_ = outtest::rampBlock(0, frames);
        writer_ = std::thread([this] { writeResult_ = SOWrite(task_.refnum, block_.get(), -1, TW_TYPE_I16); });
        ASSERT_TRUE(eventually([this] { return running(task_.refnum); }));
    }
    // Moves the cursor past a quarter boundary and waits until the worker has
    // answered it and sleeps again.
    void playTo(uint64_t frames) {
        const uint64_t before = wakeups(task_.refnum);
        ASSERT_EQ(virtualDriver().tws_virtual_advance(frames), TWS_OK);
        ASSERT_TRUE(eventually([&] { return wakeups(task_.refnum) > before; }));
        testhost::awaitSleeping(worker_);
    }

    Task task_{-1, -1, 0, 8000, 2, 16};
    pid_t worker_ = -1;
    testhost::ArrayPtr block_;
    std::thread writer_;
    int32_t writeResult_ = -1;
};

// Four wake-ups per lap of the ring while it streams (one more when a write
// finds it stopped), none once the stream has ended.
TEST_F(Worker, WakesOncePerQuarterAndNeverWhenIdle) {
    const uint64_t idle = wakeups(task_.refnum);
    startWrite(3 * kRingFrames);
    ASSERT_TRUE(eventually([&] { return wakeups(task_.refnum) == idle + 1; }));
    // Two laps write the rest of the block, and the write returns; a third
    // plays it out (a write still on its way out then would see the end).
    for (int quarter = 0; quarter < 2 * 4; ++quarter) playTo(kQuarter);
    writer_.join();
    EXPECT_EQ(writeResult_, 0);
    for (int quarter = 0; quarter < 4; ++quarter) playTo(kQuarter);
    ASSERT_TRUE(eventually([&] { return !running(task_.refnum); }));
    const uint64_t atEnd = wakeups(task_.refnum);
    EXPECT_EQ(atEnd, idle + 1 + 3 * 4);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(wakeups(task_.refnum), atEnd) << "an idle worker sleeps";
}

// A pause cuts the waiting write short; after start, silence follows the data
// that made it into the ring, never the ring's previous lap.
TEST_F(Worker, PauseThenStartPlaysSilenceAfterTheCutBlock) {
    startWrite(kRingFrames + 1000);  // the ring takes its first 2048 frames
    ASSERT_EQ(virtualDriver().tws_virtual_advance(kQuarter / 2), TWS_OK);
    ASSERT_EQ(SOPause(task_.refnum), 0);
    writer_.join();
    EXPECT_EQ(writeResult_, TW_E_INCOMPLETE);
    ASSERT_EQ(SOStart(task_.refnum), 0);
    playTo(kQuarter / 2);
    playTo(kQuarter);
    playTo(kQuarter);
    // Past the end of the data and 100 frames on, before the worker stops it.
    ASSERT_EQ(virtualDriver().tws_virtual_advance(kQuarter + 100), TWS_OK);
    ASSERT_TRUE(eventually([&] { return !running(task_.refnum); }));
    outtest::RampReport report = outtest::checkRamp(outtest::heard(task_), kRingFrames);
    outtest::expectRamp(report, {});
    EXPECT_GE(report.trailingSilence, 100u);
}

// The host may poison and free its array as soon as the write returns: what
// plays comes from the ring alone.
TEST_F(Worker, ArraysAreNeverReadAfterTheWriteReturns) {
    const auto spoil = [](testhost::ArrayPtr& block) {
        std::memset(testhost::elements2D<uint8_t>(block.get()), 0x5A,
                    static_cast<size_t>(testhost::cols(block.get())) * 4);
        block.reset();
    };
    auto first = outtest::rampBlock(0, 1000);
    ASSERT_EQ(SOWrite(task_.refnum, first.get(), -1, TW_TYPE_I16), 0);
    spoil(first);
    std::atomic<bool> done{false};
    std::atomic<pid_t> writerId{-1};
    writer_ = std::thread([&] {
        writerId = testhost::currentThreadId();
        auto second = outtest::rampBlock(1000, 3000);
        writeResult_ = SOWrite(task_.refnum, second.get(), -1, TW_TYPE_I16);
        spoil(second);
        done = true;
    });
    ASSERT_TRUE(eventually([&] { return writerId.load() > 0; }));
    testhost::awaitSleeping(writerId);
    // The last of the 4000 frames enters the ring by frame 2048; the clock
    // stays short of the data's end until the write has returned, however
    // late the writer runs once released.
    for (uint64_t played = 0; !done.load() && played + kQuarter <= 2560 && !HasFatalFailure(); played += kQuarter)
        playTo(kQuarter);
    ASSERT_TRUE(eventually([&] { return done.load(); }));
    while (running(task_.refnum) && !HasFatalFailure()) playTo(kQuarter);
    writer_.join();
    EXPECT_EQ(writeResult_, 0);
    outtest::expectRamp(outtest::checkRamp(outtest::heard(task_), 4000), {});
}

}  // namespace
