#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

#include "platform/Event.h"
#include "platform/Semaphore.h"
#include "platform/Thread.h"
#include "platform/Wait.h"

using namespace tw::platform;

namespace {

constexpr uint32_t kGenerousMs = 10000;

TEST(Event, AWaitConsumesTheSignalOfAnAutoResetEventOnly) {
  for (bool manual : {false, true}) {
    SCOPED_TRACE(manual ? "manual reset" : "auto reset");
    Event event(manual, true);
    EXPECT_TRUE(event.isSet());
    EXPECT_EQ(waitForSingleObject(event, 0), kWaitObject0);
    EXPECT_EQ(event.isSet(), manual);
    EXPECT_EQ(waitForSingleObject(event, 0), manual ? kWaitObject0 : kWaitTimeout);
    event.reset();
    EXPECT_FALSE(event.isSet());
    EXPECT_EQ(waitForSingleObject(event, 0), kWaitTimeout);
    event.set();
    event.set();  // a second set of a signalled event adds nothing
    EXPECT_EQ(waitForSingleObject(event, 0), kWaitObject0);
    EXPECT_EQ(waitForSingleObject(event, 0), manual ? kWaitObject0 : kWaitTimeout);
  }
}

// Waiters on an auto-reset event plus a manual-reset "done" event: each set
// lets exactly one through, and "done" wakes and ends them all.
TEST(Event, AutoResetInMultipleWaitPassesOncePerSet) {
  constexpr int kRounds = 300;
  Event event(false, false);
  Event done(true, false);
  std::atomic<int> passed{0};
  Semaphore ack(0, 1);
  std::vector<std::unique_ptr<Thread>> waiters;
  for (int i = 0; i < 3; ++i) {
    waiters.push_back(Thread::start([&] {
      Waitable* objects[] = {&event, &done};
      while (waitForMultipleObjects(objects, 2, kInfinite) == kWaitObject0) {
        passed.fetch_add(1);
        ack.release();
      }
      return 0u;
    }));
  }
  for (int round = 0; round < kRounds; ++round) {
    event.set();
    // The next set waits until this one was taken, so none is swallowed.
    if (waitForSingleObject(ack, kGenerousMs) != kWaitObject0) {
      ADD_FAILURE() << "set " << round << " let nobody through";
      break;
    }
  }
  done.set();
  for (auto& waiter : waiters) waiter->join();
  EXPECT_EQ(passed.load(), kRounds);
}

}  // namespace
