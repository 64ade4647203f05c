// A wait without time-out holds up the clear of another task (a clear waits
// until no call is inside its registry). The stop, pause or clear that ends
// that wait must still get in, or every output call would hang behind the
// queued clear.
#include <chrono>
#include <future>

#include "OutputHarness.h"
#include "host/ThreadHold.h"

namespace outtest {
namespace {

using ClearBehindWait = OutputTest;

TEST_F(ClearBehindWait, StopPauseOrClearOfTheWaitingTaskGetsThrough) {
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);
    enum Ending { kStop, kPause, kClear };
    for (Ending ending : {kStop, kPause, kClear}) {
        SCOPED_TRACE(testing::Message() << "ending " << ending);
        Task a = configure(1024, 8000, 2, 16, TW_MODE_ONE_SHOT);
        Task b = configure(1024, 8000, 2, 16, TW_MODE_ONE_SHOT);
        ASSERT_EQ(a.result, 0);
        ASSERT_EQ(b.result, 0);
        auto block = rampBlock(0, 600);
        ASSERT_EQ(library()->SOWrite(a.refnum, block.get(), 1, TW_TYPE_I16), 0);

        std::atomic<pid_t> waiter{-1}, clearer{-1};
        auto wait = std::async(std::launch::async, [&] {
            waiter = testhost::currentThreadId();
            return library()->SOWait(a.refnum, -1.0);  // the manual clock stands still
        });
        while (waiter < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        testhost::awaitSleeping(waiter);
        auto other = std::async(std::launch::async, [&] {
            clearer = testhost::currentThreadId();
            return library()->SOClear(b.refnum);
        });
        tws_virtual_counts counts{};
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            virtualDriver().tws_virtual_live_counts(&counts);
        } while (counts.buffers != 1 || clearer < 0);
        testhost::awaitSleeping(clearer);

        auto end = std::async(std::launch::async, [&] {
            TaskRefnum r = a.refnum;
            return ending == kStop ? library()->SOStop(r) : ending == kPause ? library()->SOPause(r) : library()->SOClear(r);
        });
        if (end.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the call that ends the wait queued behind the other clear";
            testhost::runCleanups();
        }
        EXPECT_EQ(end.get(), 0);
        EXPECT_EQ(wait.get(), 0);
        EXPECT_EQ(other.get(), 0);
        EXPECT_EQ(library()->SOClear(a.refnum), ending == kClear ? 4801 : 0);
    }
}

}  // namespace
}  // namespace outtest
