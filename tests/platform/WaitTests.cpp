#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <vector>

#include "platform/Event.h"
#include "platform/Semaphore.h"
#include "platform/Thread.h"
#include "platform/Wait.h"

using namespace tw::platform;

namespace {

constexpr uint32_t kGenerousMs = 10000;

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

TEST(Wait, TimeOutsOfZeroAndSmallValues) {
  Event event(true, false);
  EXPECT_EQ(waitForSingleObject(event, 0), kWaitTimeout);
  auto start = Clock::now();
  EXPECT_EQ(waitForSingleObject(event, 40), kWaitTimeout);
  EXPECT_GE(msSince(start), 39);
  Waitable* objects[] = {&event};
  start = Clock::now();
  EXPECT_EQ(waitForMultipleObjects(objects, 1, 25), kWaitTimeout);
  EXPECT_GE(msSince(start), 24);
  start = Clock::now();
  EXPECT_EQ(msgWaitForMultipleObjects(objects, 1, 25), kWaitTimeout);
  EXPECT_GE(msSince(start), 24);
}

TEST(Wait, LowestSignalledIndexWinsAndOnlyItIsConsumed) {
  Event manualOff(true, false);
  Semaphore semaphore(2, 2);
  Event autoOn(false, true);
  Waitable* objects[] = {&manualOff, &semaphore, &autoOn};
  EXPECT_EQ(waitForMultipleObjects(objects, 3, 0), kWaitObject0 + 1);
  EXPECT_TRUE(autoOn.isSet());
  int32_t previous = -1;
  ASSERT_TRUE(semaphore.release(1, &previous));
  EXPECT_EQ(previous, 1);

  Event first(false, true);
  Event second(false, true);
  Waitable* pair[] = {&first, &second};
  EXPECT_EQ(waitForMultipleObjects(pair, 2, 0), kWaitObject0);
  EXPECT_FALSE(first.isSet());
  EXPECT_TRUE(second.isSet());
  EXPECT_EQ(waitForMultipleObjects(pair, 2, 0), kWaitObject0 + 1);
  EXPECT_EQ(waitForMultipleObjects(pair, 2, 0), kWaitTimeout);
}

TEST(Wait, BlockedMultipleWaitReportsTheObjectThatWasSignalled) {
  Event first(false, false);
  Event second(false, false);
  Waitable* pair[] = {&first, &second};
  auto waiter = Thread::start([&] { return waitForMultipleObjects(pair, 2, kGenerousMs); });
  ASSERT_TRUE(waiter);
  sleepMs(20);
  second.set();
  waiter->join();
  EXPECT_EQ(waiter->exitCode(), kWaitObject0 + 1);
  EXPECT_FALSE(second.isSet());
  // The wait is no longer registered with the first event: its set stays.
  first.set();
  EXPECT_TRUE(first.isSet());

  // The same object twice in one wait takes one count.
  Semaphore semaphore(0, 2);
  Waitable* twice[] = {&semaphore, &semaphore};
  waiter = Thread::start([&] { return waitForMultipleObjects(twice, 2, kGenerousMs); });
  ASSERT_TRUE(waiter);
  sleepMs(10);
  ASSERT_TRUE(semaphore.release(2));
  waiter->join();
  EXPECT_EQ(waiter->exitCode(), kWaitObject0);
  EXPECT_EQ(waitForSingleObject(semaphore, 0), kWaitObject0);  // only one count was taken
}

TEST(Wait, BadArgumentsFail) {
  Event event(true, true);
  Waitable* withNull[] = {&event, nullptr};
  EXPECT_EQ(waitForMultipleObjects(withNull, 2, 0), kWaitFailed);
  EXPECT_EQ(waitForMultipleObjects(withNull, 0, 0), kWaitFailed);
  EXPECT_EQ(waitForMultipleObjects(nullptr, 1, 0), kWaitFailed);
  EXPECT_EQ(msgWaitForMultipleObjects(withNull, 2, 0), kWaitFailed);
  EXPECT_EQ(msgWaitForMultipleObjects(nullptr, 1, 0), kWaitFailed);
  std::vector<Waitable*> tooMany(65, &event);
  EXPECT_EQ(waitForMultipleObjects(tooMany.data(), 65, 0), kWaitFailed);
  EXPECT_EQ(waitForMultipleObjects(tooMany.data(), 64, 0), kWaitObject0);
  EXPECT_EQ(msgWaitForMultipleObjects(tooMany.data(), 64, 0), kWaitFailed);
}

// Producers release two semaphores while consumers wait on both (and on a
// "done" event), some with short time-outs that race the releases: every
// count released is taken exactly once, by a wait whose index names the
// semaphore released.
TEST(Wait, ContendedWaitsTakeEveryReleasedCountOnce) {
  constexpr int kProducersEach = 2;
  constexpr int kPerProducer = 2000;
  constexpr int kPerSemaphore = kProducersEach * kPerProducer;
  Semaphore a(0, kPerSemaphore);
  Semaphore b(0, kPerSemaphore);
  Event done(true, false);
  std::atomic<int> fromA{0};
  std::atomic<int> fromB{0};
  std::vector<std::unique_ptr<Thread>> consumers;
  for (uint32_t timeoutMs : {1u, 3u, 1u, 3u, 1u, kInfinite}) {
    consumers.push_back(Thread::start([&, timeoutMs] {
      Waitable* objects[] = {&a, &b, &done};
      for (;;) {
        const uint32_t result = waitForMultipleObjects(objects, 3, timeoutMs);
        if (result == kWaitObject0) {
          fromA.fetch_add(1);
        } else if (result == kWaitObject0 + 1) {
          fromB.fetch_add(1);
        } else if (result != kWaitTimeout) {
          return result;
        }
      }
    }));
    ASSERT_TRUE(consumers.back());
  }
  std::vector<std::unique_ptr<Thread>> producers;
  for (int p = 0; p < 2 * kProducersEach; ++p) {
    Semaphore& semaphore = p % 2 == 0 ? a : b;
    producers.push_back(Thread::start([&semaphore] {
      uint32_t failures = 0;
      for (int i = 0; i < kPerProducer; ++i) failures += semaphore.release() ? 0 : 1;
      return failures;
    }));
  }
  for (auto& producer : producers) {
    producer->join();
    EXPECT_EQ(producer->exitCode(), 0u);
  }
  // "done" has the highest index: consumers take every count before they see it.
  done.set();
  for (auto& consumer : consumers) {
    consumer->join();
    EXPECT_EQ(consumer->exitCode(), kWaitObject0 + 2);
  }
  EXPECT_EQ(fromA.load(), kPerSemaphore);
  EXPECT_EQ(fromB.load(), kPerSemaphore);
  EXPECT_EQ(waitForSingleObject(a, 0), kWaitTimeout);
  int32_t previous = -1;
  ASSERT_TRUE(b.release(1, &previous));
  EXPECT_EQ(previous, 0);
}

}  // namespace
