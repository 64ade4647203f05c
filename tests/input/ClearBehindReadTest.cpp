// A read that waits without time-out holds up the clear of another task (a
// clear waits until no call is inside its registry). The stop or clear that
// ends that read must still get in, or every input call would hang behind
// the queued clear until the host cleaned up.
#include <chrono>
#include <future>

#include "InputTestSupport.h"
#include "host/ThreadHold.h"

namespace inputtest {
namespace {

using ClearBehindRead = InputTest;

TEST_F(ClearBehindRead, StopOrClearOfTheWaitingTaskGetsThrough) {
    ASSERT_EQ(vd().tws_virtual_set_manual_clock(1), 0);
    for (bool byClear : {false, true}) {
        SCOPED_TRACE(byClear ? "SIClear" : "SIStop");
        const TaskRefnum a = open(64), b = open(64);
        Read r;
        const int before = testhost::resizeCalls();
        std::thread reader = readAsync(a, 0, r, -1.0);
        awaitAttached(before);

        std::atomic<pid_t> clearer{-1};
        auto other = std::async(std::launch::async, [&] {
            clearer = testhost::currentThreadId();
            return api().SIClear(b);
        });
        // Once b's buffer is gone the clear only has the registry left to wait for.
        tws_virtual_counts counts{};
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            vd().tws_virtual_live_counts(&counts);
        } while (counts.capture_buffers != 1 || clearer < 0);
        testhost::awaitSleeping(clearer);

        auto ending = std::async(std::launch::async, [&] { return byClear ? api().SIClear(a) : api().SIStop(a); });
        if (ending.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the call that ends the read queued behind the other clear";
            testhost::runCleanups();
        }
        EXPECT_EQ(ending.get(), 0);
        reader.join();
        EXPECT_EQ(other.get(), 0);
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.cols, 0);
        EXPECT_EQ(api().SIClear(a), byClear ? 4801 : 0);
    }
}

}  // namespace
}  // namespace inputtest
