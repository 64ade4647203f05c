// Internal: the one lock that guards all object and queue state, and the
// waiter records through which signals reach blocked threads.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/MessageQueue.h"
#include "platform/Waitable.h"

namespace tw::platform::detail {

std::mutex& kernelMutex();

inline constexpr uint32_t kPending = 0xFFFFFFFEu;

struct ThreadQueue;

// One blocked wait. Lives on the waiting thread's stack; registered with each
// object it waits on (and its thread's queue) until satisfied or timed out.
struct Waiter {
  std::condition_variable wake;
  Waitable* const* objects = nullptr;
  size_t count = 0;
  ThreadQueue* queue = nullptr;
  uint32_t result = kPending;
};

struct ThreadQueue {
  std::deque<Message> messages;
  Waiter* waiter = nullptr;  // only the owning thread waits on its queue
  ThreadId owner = 0;
};

// All members expect kernelMutex() held.
class Kernel {
 public:
  // Returns the index of the first signalled object (consuming it), `count`
  // for a message in `queue` (may be null), or kWaitTimeout.
  static uint32_t wait(std::unique_lock<std::mutex>& lock, Waitable* const* objects, size_t count,
                       ThreadQueue* queue, uint32_t timeoutMs);
  static void objectSignalled(Waitable& object);
  static void messagePosted(ThreadQueue& queue);
  static void objectDestroyed(Waitable& object);

 private:
  static void finish(Waiter& waiter, uint32_t result);
};

// The calling thread's queue, created on first use.
ThreadQueue& currentThreadQueueLocked();

// For Thread: the new thread takes the id handed out before it started, and
// drops its queue before it is reported as ended.
ThreadId allocateThreadId();
void adoptThreadId(ThreadId id);
void destroyCurrentThreadQueue();

}  // namespace tw::platform::detail
