#ifdef _WIN32
#include <windows.h>
#endif

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

#include "platform/Event.h"
#include "platform/MessageQueue.h"
#include "platform/Thread.h"
#include "platform/Wait.h"

using namespace tw::platform;

namespace {

constexpr uint32_t kGenerousMs = 10000;
constexpr uint32_t kUserMessage = 0x0400;

// A message posted before a wait wakes it and stays queued; peeking takes
// messages in order and removes them only when asked.
TEST(MessageQueue, OwnQueueWakesMsgWaitAndPeeksInOrder) {
  Message message{};
  while (peekMessage(message, true)) {
  }
  Event event(true, false);
  Waitable* objects[] = {&event};
  EXPECT_EQ(msgWaitForMultipleObjects(objects, 1, 0), kWaitTimeout);
  ASSERT_TRUE(postThreadMessage(currentThreadId(), kUserMessage, 1, -1));
  ASSERT_TRUE(postThreadMessage(currentThreadId(), kQuitMessage, 2, -2));
  EXPECT_EQ(msgWaitForMultipleObjects(objects, 1, kInfinite), kWaitObject0 + 1);
  EXPECT_EQ(msgWaitForMultipleObjects(nullptr, 0, 0), kWaitObject0);
  event.set();
  EXPECT_EQ(msgWaitForMultipleObjects(objects, 1, 0), kWaitObject0) << "objects come before the queue";
  ASSERT_TRUE(peekMessage(message, false));
  EXPECT_EQ(message.message, kUserMessage);
  ASSERT_TRUE(peekMessage(message, true));
  EXPECT_EQ(message.wParam, 1u);
  EXPECT_EQ(message.lParam, -1);
  ASSERT_TRUE(peekMessage(message, true));
  EXPECT_EQ(message.message, kQuitMessage);
  EXPECT_EQ(message.wParam, 2u);
  EXPECT_EQ(message.lParam, -2);
  EXPECT_FALSE(peekMessage(message, true));
}

// A thread has a queue from its first peek until it ends.
TEST(MessageQueue, PostsReachAThreadOnlyWhileItHasAQueue) {
  Event go(false, false);
  Event ready(false, false);
  auto thread = Thread::start([&]() -> uint32_t {
    if (waitForSingleObject(go, kGenerousMs) != kWaitObject0) return 1;
    Message message{};
    peekMessage(message, false);
    ready.set();
    if (msgWaitForMultipleObjects(nullptr, 0, kGenerousMs) != kWaitObject0) return 2;
    if (!peekMessage(message, true) || message.message != kUserMessage) return 3;
    return static_cast<uint32_t>(message.wParam);
  });
  ASSERT_TRUE(thread);
  EXPECT_FALSE(postThreadMessage(thread->id(), kUserMessage, 1));
  go.set();
  ASSERT_EQ(waitForSingleObject(ready, kGenerousMs), kWaitObject0);
  EXPECT_TRUE(postThreadMessage(thread->id(), kUserMessage, 77));
  // Signalled means the queue is already gone, before the join.
  ASSERT_EQ(waitForSingleObject(*thread, kGenerousMs), kWaitObject0);
  EXPECT_FALSE(postThreadMessage(thread->id(), kQuitMessage));
  thread->join();
  EXPECT_EQ(thread->exitCode(), 77u);
  EXPECT_FALSE(postThreadMessage(thread->id(), kQuitMessage));
  EXPECT_FALSE(postThreadMessage(0, kQuitMessage));
}

// The worker pattern: sleep on an event and the queue, count each wake-up,
// drain the queue on a message and end on the quit message, which comes
// during a wait after the event has woken the worker again and again.
TEST(MessageQueue, WorkerLoopEndsOnQuitPostedDuringItsWait) {
  Event notify(false, false);
  Event started(false, false);
  Event handled(false, false);
  std::atomic<int> notifications{0};
  auto worker = Thread::start([&]() -> uint32_t {
    Message message{};
    peekMessage(message, false);
    started.set();
    Waitable* objects[] = {&notify};
    for (uint32_t others = 0;;) {
      const uint32_t result = msgWaitForMultipleObjects(objects, 1, kInfinite);
      if (result == kWaitObject0) {
        notifications.fetch_add(1);
        handled.set();
      } else if (result != kWaitObject0 + 1) {
        return 1000 + result;
      }
      bool quit = false;
      while (peekMessage(message, true)) {
        if (message.message == kQuitMessage) quit = true;
        else ++others;
      }
      if (quit) return others;
    }
  });
  ASSERT_TRUE(worker);
  ASSERT_EQ(waitForSingleObject(started, kGenerousMs), kWaitObject0);
  for (int i = 0; i < 5; ++i) {
    notify.set();
    ASSERT_EQ(waitForSingleObject(handled, kGenerousMs), kWaitObject0);
  }
  sleepMs(10);  // let the worker block again so the quit arrives during its wait
  EXPECT_TRUE(postThreadMessage(worker->id(), kUserMessage));
  EXPECT_TRUE(postThreadMessage(worker->id(), kQuitMessage));
  ASSERT_EQ(waitForSingleObject(*worker, kGenerousMs), kWaitObject0);
  EXPECT_EQ(notifications.load(), 5);
  EXPECT_EQ(worker->exitCode(), 1u);  // the one user message, seen before or with the quit
}

TEST(MessageQueue, FullQueueRefusesPosts) {
#ifdef _WIN32
  if (GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr) {
    GTEST_SKIP() << "Wine puts no limit on a thread's queue";
  }
#endif
  auto thread = Thread::start([] {
    Message message{};
    peekMessage(message, false);
    size_t accepted = 0;
    while (accepted <= kMaximumPostedMessages && postThreadMessage(currentThreadId(), kUserMessage)) ++accepted;
    size_t received = 0;
    while (peekMessage(message, true)) ++received;
    return static_cast<uint32_t>(accepted == kMaximumPostedMessages && received == accepted ? 0 : 1);
  });
  ASSERT_TRUE(thread);
  thread->join();
  EXPECT_EQ(thread->exitCode(), 0u);
}

}  // namespace
