#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/Semaphore.h"
#include "platform/Thread.h"
#include "platform/Wait.h"

using namespace tw::platform;

namespace {

constexpr uint32_t kGenerousMs = 10000;

// Takes counts with time-out 0 until none is left.
int drain(Semaphore& semaphore) {
  int taken = 0;
  while (waitForSingleObject(semaphore, 0) == kWaitObject0) ++taken;
  return taken;
}

// Releases beyond the maximum (near the int32 limit too) fail and change
// nothing; counts given at construction are clamped into range.
TEST(Semaphore, CountStaysBetweenZeroAndTheMaximum) {
  Semaphore semaphore(1, 3);
  int32_t previous = 99;
  EXPECT_FALSE(semaphore.release(3, &previous));
  EXPECT_FALSE(semaphore.release(0, &previous));
  EXPECT_FALSE(semaphore.release(-1, &previous));
  EXPECT_EQ(previous, 99);
  EXPECT_TRUE(semaphore.release(2, &previous));
  EXPECT_EQ(previous, 1);
  EXPECT_FALSE(semaphore.release(1));
  EXPECT_EQ(drain(semaphore), 3);

  Semaphore nearLimit(INT32_MAX - 1, INT32_MAX);
  EXPECT_FALSE(nearLimit.release(INT32_MAX));
  EXPECT_FALSE(nearLimit.release(2));
  EXPECT_TRUE(nearLimit.release(1, &previous));
  EXPECT_EQ(previous, INT32_MAX - 1);

  Semaphore negative(-5, 2);
  EXPECT_EQ(waitForSingleObject(negative, 0), kWaitTimeout);
  Semaphore tooMany(10, 2);
  EXPECT_EQ(drain(tooMany), 2);
  Semaphore noMaximum(0, 0);
  EXPECT_TRUE(noMaximum.release(1));
  EXPECT_FALSE(noMaximum.release(1));
}

TEST(Semaphore, ReleaseWakesBlockedWaitersOnePerCount) {
  Semaphore semaphore(0, 10);
  Semaphore woke(0, 10);
  std::vector<std::unique_ptr<Thread>> waiters;
  for (int i = 0; i < 4; ++i) {
    waiters.push_back(Thread::start([&] {
      if (waitForSingleObject(semaphore, kGenerousMs) != kWaitObject0) return 1u;
      woke.release();
      return 0u;
    }));
    ASSERT_TRUE(waiters.back());
  }
  ASSERT_TRUE(semaphore.release(3));
  for (int i = 0; i < 3; ++i) EXPECT_EQ(waitForSingleObject(woke, kGenerousMs), kWaitObject0);
  EXPECT_EQ(waitForSingleObject(woke, 50), kWaitTimeout);
  ASSERT_TRUE(semaphore.release(1));
  EXPECT_EQ(waitForSingleObject(woke, kGenerousMs), kWaitObject0);
  for (auto& waiter : waiters) {
    waiter->join();
    EXPECT_EQ(waiter->exitCode(), 0u);
  }
  EXPECT_EQ(drain(semaphore), 0);
}

}  // namespace
