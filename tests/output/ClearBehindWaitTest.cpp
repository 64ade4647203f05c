// A wait without time-out (an output task's SOWait, an input task's read)
// holds up the clear of another task of its kind (a clear waits until no call
// is inside its registry). The stop, pause or clear that ends that wait must
// still get in, or every call of the kind would hang behind the queued clear.
#include <future>

#include "OutputHarness.h"
#include "host/ThreadHold.h"

namespace outtest {
namespace {

using ClearBehindWait = OutputTest;

TaskRefnum task(bool input) {
    if (!input) {
        Task t = configure(1024, 8000, 2, 16, TW_MODE_ONE_SHOT);
        auto block = rampBlock(0, 600);
        EXPECT_EQ(library()->SOWrite(t.refnum, block.get(), 1, TW_TYPE_I16), 0);
        return t.refnum;
    }
    double rate = 44100;
    int32_t channels = 2, bits = 16;
    TaskRefnum refnum = -1;
    EXPECT_EQ(library()->SIConfigure(0, 64, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &refnum), 0);
    return refnum;
}

TEST_F(ClearBehindWait, TheCallThatEndsTheWaitGetsThrough) {
    ASSERT_EQ(virtualDriver().tws_virtual_set_manual_clock(1), TWS_OK);  // nothing ends the waits by itself
    const testhost::Exports& api = library().api();
    const struct {
        const char* name;
        bool input;
        int32_t (*end)(TaskRefnum);
    } cases[] = {{"SOStop", false, api.SOStop}, {"SOPause", false, api.SOPause}, {"SOClear", false, api.SOClear},
                 {"SIStop", true, api.SIStop},  {"SIClear", true, api.SIClear}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TaskRefnum a = task(c.input), b = task(c.input);
        const auto clear = c.input ? api.SIClear : api.SOClear;
        auto array = testhost::makeArray2D(TW_TYPE_I16, 1, 1);
        int32_t waitResult = -1, clearResult = -1, total = -1;
        const int resizes = testhost::resizeCalls();
        testhost::CallThread wait([&] {
            waitResult = c.input ? api.SIRead(a, array.get(), 0, &total, -1, TW_TYPE_I16) : api.SOWait(a, -1);
        });
        // A read has attached its array before it waits.
        while (c.input && testhost::resizeCalls() == resizes) std::this_thread::yield();
        testhost::awaitSleeping(wait.id());
        testhost::CallThread other([&] { clearResult = clear(b); });
        // Once b's buffer is gone the clear only has the registry left to wait for.
        tws_virtual_counts counts{};
        do {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            virtualDriver().tws_virtual_live_counts(&counts);
        } while ((c.input ? counts.capture_buffers : counts.buffers) != 1);
        testhost::awaitSleeping(other.id());

        auto end = std::async(std::launch::async, c.end, a);
        if (end.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            ADD_FAILURE() << "the call that ends the wait queued behind the other clear";
            testhost::runCleanups();
        }
        EXPECT_EQ(end.get(), 0);
        wait.join();
        other.join();
        EXPECT_EQ(waitResult, 0);
        EXPECT_EQ(clearResult, 0);
        EXPECT_EQ(testhost::cols(array.get()), c.input ? 0 : 1);
        EXPECT_EQ(clear(a), c.end == clear ? TW_E_BAD_REFNUM : 0);
    }
}

}  // namespace
}  // namespace outtest
