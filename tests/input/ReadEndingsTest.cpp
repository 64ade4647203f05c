// How a read ends other than full: time-out, stop, overrun, the end of a
// one-shot ring, the host's clean-up; and the array a read must not touch.
#include <chrono>

#include "InputTestSupport.h"

namespace inputtest {
namespace {

class InputReadEndings : public InputTest {
protected:
    void SetUp() override {
        InputTest::SetUp();
        ASSERT_EQ(vd().tws_virtual_set_manual_clock(1), 0);
    }
};

// Several quarters passed before the worker looked: it counts them all, and
// a wake for a quarter already counted changes nothing. Four laps of such
// wakes, two quarters at a time, with no false overrun.
TEST_F(InputReadEndings, LateWakesLoseNoQuarter) {
    TaskRefnum refnum = open(160);  // quarters of 40 frames
    uint64_t next = 0;
    for (int i = 0; i < 8; ++i) {
        Read r;
        auto reader = waitingRead(refnum, 80, r);
        advance(i % 2 == 0 ? 96 : 64);  // 2.4 quarters, then 1.6
        reader->join();
        ASSERT_EQ(r.result, 0) << "pass " << i;
        ASSERT_TRUE(holdsFrames(r.array.get(), TW_TYPE_I16, 16, 2, next));
        next += 80;
        EXPECT_EQ(uint64_t(r.total), next);
    }
}

// A read that waits as the one-shot ring fills gets the rest of the ring,
// however many samples it asked for; only a full array counts.
TEST_F(InputReadEndings, OneShotRingIsDeliveredToTheLastFrame) {
    struct Case {
        int32_t before, waiting, cols, total;
    };
    for (Case c : {Case{20, 44, 44, 64}, Case{0, 80, 64, 0}}) {
        SCOPED_TRACE(testing::Message() << c.before << " read before, " << c.waiting << " waiting");
        TaskRefnum refnum = open(64, {}, 0);
        advance(32);
        if (c.before > 0) {
            Read first = read(refnum, c.before);
            EXPECT_EQ(first.result, 0);
            EXPECT_TRUE(holdsFrames(first.array.get(), TW_TYPE_I16, 16, 2, 0));
        }
        Read last;
        auto reader = waitingRead(refnum, c.waiting, last);
        advance(32);  // the ring is full and stops
        reader->join();
        EXPECT_EQ(last.result, 0);
        EXPECT_EQ(last.cols, c.cols);
        EXPECT_TRUE(holdsFrames(last.array.get(), TW_TYPE_I16, 16, 2, c.before));
        EXPECT_EQ(last.total, c.total);
        EXPECT_EQ(read(refnum, 1).result, 4823);
        EXPECT_FALSE(running(refnum));
        EXPECT_EQ(api().SIClear(refnum), 0);
    }
}

// A one-shot ring fills while the worker is held up: the read's own first
// pass copies what the ring holds, finds the capture stopped and says so.
TEST_F(InputReadEndings, FirstPassThatFindsTheCaptureStoppedReportsIt) {
    TaskRefnum refnum = open(64, {}, 0);
    const pid_t worker = testhost::threadNamed("tw-capture");
    ASSERT_GT(worker, 0);
    testhost::holdThread(worker);
    advance(64);
    Read r = read(refnum, 64);
    testhost::letGoThread();
    EXPECT_EQ(r.result, 4823);
    EXPECT_TRUE(holdsFrames(r.array.get(), TW_TYPE_I16, 16, 2, 0));
    EXPECT_EQ(r.cols, 64);
    EXPECT_EQ(r.total, 64);
    EXPECT_EQ(read(refnum, 1).result, 4823);
}

// A read without time-out, even one of 0 samples (complete from the start),
// ends when the host cleans the task up, clears it or stops it.
TEST_F(InputReadEndings, ReadWithoutTimeOutEndsOnCleanUpClearAndStop) {
    enum Ending { kCleanUp, kClear, kStop };
    for (Ending ending : {kCleanUp, kClear, kStop}) {
        for (int32_t samples : {32, 0}) {
            SCOPED_TRACE(testing::Message() << "ending " << ending << ", samples " << samples);
            TaskRefnum refnum = open(64);
            advance(24);
            Read r;
            auto reader = waitingRead(refnum, samples, r, -1.0);
            if (ending == kCleanUp) {
                for (int32_t result : testhost::runCleanups()) EXPECT_EQ(result, 0);
            }
            EXPECT_EQ(ending == kStop ? api().SIStop(refnum) : ending == kClear ? api().SIClear(refnum) : 0, 0);
            reader->join();  // a read that is not ended hangs the test
            EXPECT_EQ(r.result, 0);
            EXPECT_EQ(r.cols, samples ? 16 : 0);
            EXPECT_TRUE(holdsFrames(r.array.get(), TW_TYPE_I16, 16, 2, 0));
            EXPECT_EQ(r.total, 0) << "an array not filled does not count";
            // The refnum is gone after a clear; no buffer is left after a clean-up.
            EXPECT_EQ(read(refnum, 8).result, ending == kStop ? 4823 : 4801);
            if (ending == kClear) continue;
            EXPECT_FALSE(running(refnum));
            EXPECT_EQ(api().SIClear(refnum), 0);
        }
    }
    tws_virtual_counts counts{};
    vd().tws_virtual_live_counts(&counts);
    EXPECT_EQ(counts.capture_buffers, 0u);
}

// The capture buffer fails under a waiting read. A single failure is made up
// at the next quarter and the read gets every frame in order; positions lost
// twice in a row stop the capture with their code, and the read keeps the
// frames it got.
TEST_F(InputReadEndings, CaptureFailuresMidReadLoseNothingDelivered) {
    struct Case {
        uint32_t method;
        uint32_t count;
        int32_t code;
        int32_t cols;
    };
    for (Case c : {Case{TWS_VIRTUAL_METHOD_GET_POSITION, 1, 0, 48}, Case{TWS_VIRTUAL_METHOD_LOCK, 1, 0, 48},
                   Case{TWS_VIRTUAL_METHOD_GET_POSITION, 1000000, TW_E_GENERIC, 16}}) {
        SCOPED_TRACE(testing::Message() << "method " << c.method << ", " << c.count << " failures");
        TaskRefnum refnum = open(64);  // quarters of 16 frames
        Read r;
        auto reader = waitingRead(refnum, 48, r);
        const pid_t worker = testhost::threadNamed("tw-capture");
        for (int quarter = 0; quarter < 3; ++quarter) {
            EXPECT_EQ(quarter == 1
                          ? vd().tws_virtual_fault_method(c.method, TWS_VIRTUAL_CAPTURE, TWS_E_FAIL, c.count)
                          : 0,
                      0);
            advance(16);
            testhost::awaitSleeping(worker);  // one worker pass per quarter
        }
        reader->join();
        vd().tws_virtual_clear_faults();
        EXPECT_EQ(r.result, c.code);
        EXPECT_EQ(r.cols, c.cols);
        EXPECT_TRUE(holdsFrames(r.array.get(), TW_TYPE_I16, 16, 2, 0));
        EXPECT_EQ(read(refnum, 8, 0.05).result, c.code ? c.code : 4822) << "a failed capture stays failed";
        EXPECT_EQ(api().SIClear(refnum), 0);
    }
}

// Arrays a read cannot use are never written: one the host could not resize
// (the host frees it at once; the worker's passes must not reach it), and
// one of a type without a converter. Neither read consumes anything.
TEST_F(InputReadEndings, ArraysAReadCannotUseAreLeftAlone) {
    TaskRefnum refnum = open(64);
    int32_t total = -1;
    {
        auto array = testhost::makeArray2D(TW_TYPE_I16, 1, 1);
        testhost::failNextResizes(1, 2);
        EXPECT_EQ(api().SIRead(refnum, array.get(), 32, &total, -1.0, TW_TYPE_I16), 2);
    }
    advance(32);
    vd().tws_virtual_flush();
    auto array = testhost::makeArray2D(TW_TYPE_U16, 3, 7);
    EXPECT_EQ(api().SIRead(refnum, array.get(), 16, &total, 1.0, TW_TYPE_U16), 42);
    EXPECT_EQ(testhost::rows(array.get()), 3);
    EXPECT_EQ(testhost::cols(array.get()), 7);
    EXPECT_EQ(total, 0);
    Read r = read(refnum, 32);
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(holdsFrames(r.array.get(), TW_TYPE_I16, 16, 2, 0));
}

// Real-time clock: the host leaves the ring alone for more than a lap, then
// reads. The next quarter finds the ring overrun while the read waits.
class InputOverrun : public InputTest {};

TEST_F(InputOverrun, WhileAReadWaitsItStopsTheCapture) {
    TaskRefnum refnum = open(4410);  // 100 ms at 44100 Hz
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    Read r = read(refnum, 20000, 10.0);
    EXPECT_EQ(r.result, 0);
    EXPECT_LT(r.cols, 20000);
    if (r.cols > 0) {
        EXPECT_TRUE(holdsFrames(r.array.get(), TW_TYPE_I16, 16, 2, firstFrameOf(r.array.get())));
    }
    EXPECT_EQ(r.total, 0);
    EXPECT_EQ(read(refnum, 10).result, 4823);
    EXPECT_EQ(api().SIStart(refnum), 4823);
    EXPECT_FALSE(running(refnum));
}

}  // namespace
}  // namespace inputtest
