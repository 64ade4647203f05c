// The hand-off between a continuous write and the worker: one write at a time,
// and a write waiting for its block never outlives a stopped buffer.
#include <memory>
#include <thread>

#include "OutputHarness.h"
#include "host/ThreadHold.h"

namespace outtest {
namespace {

class Handshake : public OutputTest {
protected:
    // Starts a write of four rings on its own thread and returns once it plays
    // (or at once).
    void startLongWrite(bool untilPlaying = true) {
        pacer_.reset();
        ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
        task_ = configure(2048, 8000, 2, 16, TW_MODE_CONTINUOUS);
        ASSERT_EQ(task_.result, 0);
        block_ = rampBlock(0, 4 * 2048);
        writer_ = std::make_unique<testhost::CallThread>(
            [this] { writeResult_ = library()->SOWrite(task_.refnum, block_.get(), -1, TW_TYPE_I16); });
        pacer_ = std::make_unique<Pacer>(std::vector<pid_t>{testhost::currentThreadId(), writer_->id()});
        while (untilPlaying && !running(task_.refnum))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    void TearDown() override {
        writer_.reset();
        pacer_.reset();
        OutputTest::TearDown();
    }
    int32_t joinWriter() {
        writer_->join();
        return writeResult_;
    }

    Task task_;
    std::unique_ptr<Pacer> pacer_;
    testhost::ArrayPtr block_;
    std::unique_ptr<testhost::CallThread> writer_;
    int32_t writeResult_ = -1;
};

TEST_F(Handshake, SecondWriteWaitsAtTheGate) {
    startLongWrite();
    auto text = testhost::makeString("");
    uint8_t input = 0;
    EXPECT_EQ(library()->GetStateDesc(task_.refnum, &input, text.get()), 0);
    EXPECT_EQ(testhost::readString(text.get()), "isRunning= T");
    auto next = rampBlock(4 * 2048, 500);
    EXPECT_EQ(library()->SOWrite(task_.refnum, next.get(), 0.1, TW_TYPE_I16), TW_E_TIMEOUT);
    // Without a limit it goes in after the first one.
    EXPECT_EQ(library()->SOWrite(task_.refnum, next.get(), -1, TW_TYPE_I16), 0);
    EXPECT_EQ(joinWriter(), 0);
    EXPECT_EQ(library()->SOWait(task_.refnum, -1), 0);
    expectRamp(checkRamp(heard(task_), 4 * 2048 + 500), {0, 4 * 2048});
    EXPECT_EQ(library()->SOClear(task_.refnum), 0);
}

TEST_F(Handshake, StopAndPauseLetAWaitingWriteGo) {
    for (auto halt : {library()->SOStop, library()->SOPause}) {
        startLongWrite();
        EXPECT_EQ(halt(task_.refnum), 0);
        EXPECT_EQ(joinWriter(), TW_E_INCOMPLETE);
        EXPECT_FALSE(running(task_.refnum));
        // Halting is not the end of the data: no warning follows.
        auto next = rampBlock(0, 100);
        EXPECT_EQ(library()->SOWrite(task_.refnum, next.get(), -1, TW_TYPE_I16), 0);
        EXPECT_EQ(library()->SOClear(task_.refnum), 0);
    }
}

TEST_F(Handshake, ClearBehindAWaitingWriteEndsWhenTheHostTearsDown) {
    startLongWrite();
    int32_t clearResult = -1;
    testhost::CallThread clearer([&] { clearResult = library()->SOClear(task_.refnum); });
    testhost::awaitSleeping(clearer.id());  // queued up behind the write
    for (int32_t result : testhost::runCleanups()) EXPECT_EQ(result, 0);
    clearer.join();
    EXPECT_EQ(joinWriter(), TW_E_INCOMPLETE);
    EXPECT_EQ(clearResult, 0);
}

// The data runs out after the worker has let the write go but before the
// write has returned: that write reports the end.
TEST_F(Handshake, EndOfDataBeforeTheWriteReturnsIsReportedByIt) {
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
    Task task = configure(2048, 8000, 2, 16, TW_MODE_CONTINUOUS);
    ASSERT_EQ(task.result, 0);
    auto block = rampBlock(0, 2048 + 512);
    int32_t result = -1;
    testhost::CallThread writer([&] { result = library()->SOWrite(task.refnum, block.get(), -1, TW_TYPE_I16); });
    while (!running(task.refnum)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    testhost::holdThread(writer.id());
    {
        // The held writer sleeps in its signal handler while the stream plays out.
        Pacer pacer({testhost::currentThreadId(), writer.id()});
        while (running(task.refnum)) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    // The worker stops the buffer, then records the end.
    testhost::awaitSleeping(testhost::threadNamed("tw-output"));
    testhost::letGoThread();
    writer.join();
    EXPECT_EQ(result, TW_W_PLAYBACK_ENDED);
    expectRamp(checkRamp(heard(task), 2048 + 512), {});
    auto next = rampBlock(0, 10);
    EXPECT_EQ(library()->SOWrite(task.refnum, next.get(), -1, TW_TYPE_I16), 0) << "reported once";
    EXPECT_EQ(library()->SOClear(task.refnum), 0);
}

// A device call that fails under a stream ends the waiting write with its
// code, stops the buffer (no lap of old data plays on) and sticks: stop,
// start and write report it; clearing is what is left. A single position lost
// is made up at the next quarter.
TEST_F(Handshake, FailedStreamStopsItsBufferAndReportsItsError) {
    struct Case {
        uint32_t method;
        uint32_t count;
        bool midStream;
        int32_t code;
    };
    for (Case c : {Case{TWS_VIRTUAL_METHOD_LOCK, 1, false, TW_E_NO_MEMORY},
                   Case{TWS_VIRTUAL_METHOD_LOCK, 1, true, TW_E_NO_MEMORY},
                   Case{TWS_VIRTUAL_METHOD_PLAY, 1, false, TW_E_DEVICE},
                   Case{TWS_VIRTUAL_METHOD_GET_POSITION, 1000000, true, TW_E_GENERIC},
                   Case{TWS_VIRTUAL_METHOD_GET_POSITION, 1, true, 0}}) {
        SCOPED_TRACE(testing::Message()
                     << "method " << c.method << (c.midStream ? ", mid-stream" : ", first chunk"));
        virtualDriver().tws_virtual_clear_faults();
        auto inject = [&] {
            return virtualDriver().tws_virtual_fault_method(c.method, TWS_VIRTUAL_OUTPUT, TWS_E_FAIL,
                                                            c.count);
        };
        EXPECT_EQ(c.midStream ? TWS_OK : inject(), TWS_OK);
        startLongWrite(c.midStream);
        EXPECT_EQ(c.midStream ? inject() : TWS_OK, TWS_OK);
        EXPECT_EQ(joinWriter(), c.code);
        if (c.code == 0) {
            EXPECT_EQ(library()->SOWait(task_.refnum, -1), 0);
            expectRamp(checkRamp(heard(task_), 4 * 2048), {0});
        } else {
            EXPECT_FALSE(running(task_.refnum));
            const uint64_t played = heardBytes(task_);
            std::this_thread::sleep_for(std::chrono::milliseconds(150));
            EXPECT_EQ(heardBytes(task_), played) << "the ring went on playing";
            EXPECT_EQ(library()->SOStop(task_.refnum), c.code);
            EXPECT_EQ(library()->SOStart(task_.refnum), c.code);
            EXPECT_EQ(library()->SOWrite(task_.refnum, block_.get(), -1, TW_TYPE_I16), c.code);
        }
        EXPECT_EQ(library()->SOClear(task_.refnum), 0);
    }
}

}  // namespace
}  // namespace outtest
