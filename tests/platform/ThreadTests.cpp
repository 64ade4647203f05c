#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>

#include "platform/Event.h"
#include "platform/Thread.h"
#include "platform/Wait.h"

using namespace tw::platform;

namespace {

constexpr uint32_t kGenerousMs = 10000;

TEST(Thread, ExitCodeAndSignalFollowTheBody) {
  Event go(false, false);
  std::atomic<ThreadId> seenId{0};
  auto thread = Thread::start([&]() -> uint32_t {
    seenId.store(currentThreadId());
    return waitForSingleObject(go, kGenerousMs) == kWaitObject0 ? 42 : 1;
  });
  ASSERT_TRUE(thread);
  EXPECT_NE(thread->id(), 0u);
  EXPECT_NE(thread->id(), currentThreadId());
  EXPECT_EQ(thread->exitCode(), kStillActive);
  EXPECT_EQ(waitForSingleObject(*thread, 0), kWaitTimeout);
  go.set();
  EXPECT_EQ(waitForSingleObject(*thread, kGenerousMs), kWaitObject0);
  EXPECT_EQ(thread->exitCode(), 42u);
  EXPECT_EQ(seenId.load(), thread->id());
  thread->join();
  thread->join();
  EXPECT_EQ(thread->exitCode(), 42u);
  EXPECT_EQ(waitForSingleObject(*thread, 0), kWaitObject0);
  EXPECT_EQ(Thread::start(nullptr), nullptr) << "an empty body gives no thread";
}

TEST(Thread, DestructorJoins) {
  std::atomic<bool> finished{false};
  auto thread = Thread::start([&] {
    sleepMs(20);
    finished.store(true);
    return 0u;
  });
  ASSERT_TRUE(thread);
  thread.reset();
  EXPECT_TRUE(finished.load());
}

TEST(Thread, JoinFromTheThreadItselfReturns) {
  std::unique_ptr<Thread> thread;
  Event published(true, false);
  thread = Thread::start([&] {
    if (waitForSingleObject(published, kGenerousMs) != kWaitObject0) return 1u;
    thread->join();
    return 3u;
  });
  ASSERT_TRUE(thread);
  published.set();
  thread->join();
  EXPECT_EQ(thread->exitCode(), 3u);
}

// A body that throws ends the thread abandoned instead of killing the
// process; either way the body and what it holds are gone before the thread
// is signalled.
TEST(Thread, BodyCapturesAreReleasedBeforeTheThreadIsSignalled) {
  for (bool throws : {false, true}) {
    auto token = std::make_shared<int>(1);
    std::weak_ptr<int> watch = token;
    auto thread = Thread::start([token = std::move(token), throws]() -> uint32_t {
      if (throws) throw std::runtime_error("body failed");
      return static_cast<uint32_t>(*token);
    });
    ASSERT_TRUE(thread);
    ASSERT_EQ(waitForSingleObject(*thread, kGenerousMs), kWaitObject0);
    EXPECT_TRUE(watch.expired()) << throws;
    EXPECT_EQ(thread->exitCode(), throws ? kThreadAbandoned : 1u);
  }
}

}  // namespace
