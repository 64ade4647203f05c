#include "platform/MessageQueue.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/Kernel.h"

namespace tw::platform {

namespace {

std::atomic<ThreadId> nextThreadId{1};

// Queues by thread id; guarded by the kernel lock. Never destroyed, because
// threads may end after static destruction has begun.
std::unordered_map<ThreadId, detail::ThreadQueue*>& queues() {
  static auto* map = new std::unordered_map<ThreadId, detail::ThreadQueue*>;
  return *map;
}

thread_local ThreadId tThreadId = 0;

// Drops the thread's queue when a thread not made by Thread ends.
struct QueueOwner {
  detail::ThreadQueue* queue = nullptr;
  ThreadId owner = 0;

  void destroy() {
    detail::ThreadQueue* dropped = nullptr;
    {
      std::lock_guard<std::mutex> lock(detail::kernelMutex());
      if (queue == nullptr) return;
      queues().erase(owner);
      dropped = queue;
      queue = nullptr;
    }
    delete dropped;  // its owner is ending, so nobody waits on it
  }
  ~QueueOwner() { destroy(); }
};
thread_local QueueOwner tQueue;

}  // namespace

ThreadId currentThreadId() {
  if (tThreadId == 0) tThreadId = detail::allocateThreadId();
  return tThreadId;
}

bool postThreadMessage(ThreadId thread, uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::lock_guard<std::mutex> lock(detail::kernelMutex());
  auto it = queues().find(thread);
  if (it == queues().end()) return false;
  detail::ThreadQueue& queue = *it->second;
  if (queue.messages.size() >= kMaximumPostedMessages) return false;
  queue.messages.push_back(Message{message, wParam, lParam});
  detail::Kernel::messagePosted(queue);
  return true;
}

bool peekMessage(Message& out, bool remove) {
  std::lock_guard<std::mutex> lock(detail::kernelMutex());
  detail::ThreadQueue& queue = detail::currentThreadQueueLocked();
  if (queue.messages.empty()) return false;
  out = queue.messages.front();
  if (remove) queue.messages.pop_front();
  return true;
}

namespace detail {

ThreadQueue& currentThreadQueueLocked() {
  if (tQueue.queue == nullptr) {
    auto queue = std::make_unique<ThreadQueue>();
    queues().emplace(currentThreadId(), queue.get());
    tQueue.owner = currentThreadId();
    tQueue.queue = queue.release();
  }
  return *tQueue.queue;
}

ThreadId allocateThreadId() {
  ThreadId id = nextThreadId.fetch_add(1, std::memory_order_relaxed);
  if (id == 0) id = nextThreadId.fetch_add(1, std::memory_order_relaxed);  // after wrap-around
  return id;
}

void adoptThreadId(ThreadId id) { tThreadId = id; }

void destroyCurrentThreadQueue() { tQueue.destroy(); }

}  // namespace detail

}  // namespace tw::platform
