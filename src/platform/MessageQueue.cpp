#include "platform/MessageQueue.h"

#include <pthread.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/Kernel.h"
#include "platform/Immortal.h"

namespace tw::platform {

namespace {

std::atomic<ThreadId> nextThreadId{1};

// Queues by thread id; guarded by the kernel lock. Never destroyed, because
// threads may end after static destruction has begun.
std::unordered_map<ThreadId, detail::ThreadQueue*>& queues() {
  static auto* map = immortal(new std::unordered_map<ThreadId, detail::ThreadQueue*>);
  return *map;
}

thread_local ThreadId tThreadId = 0;

// The calling thread's queue. A plain pointer: a thread_local with a
// destructor would keep the library loaded for as long as its thread lives,
// and the library must unload at dlclose once its own threads have ended.
thread_local detail::ThreadQueue* tQueue = nullptr;

void dropQueue(detail::ThreadQueue* queue) {
  {
    std::lock_guard<std::mutex> lock(detail::kernelMutex());
    auto it = queues().find(queue->owner);
    if (it != queues().end() && it->second == queue) queues().erase(it);
  }
  delete queue;  // its owner is ending, so nobody waits on it
}

// Drops the queue of a thread not made by Thread when that thread ends.
// Deleted at unload, so that no thread calls into unloaded code (queues of
// threads still running then are left behind).
pthread_key_t gQueueKey;
const bool gHaveQueueKey =
    pthread_key_create(&gQueueKey, [](void* q) { dropQueue(static_cast<detail::ThreadQueue*>(q)); }) == 0;
__attribute__((destructor)) void deleteQueueKey() {
  if (gHaveQueueKey) pthread_key_delete(gQueueKey);
}

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
  if (tQueue == nullptr) {
    auto queue = std::make_unique<ThreadQueue>();
    queue->owner = currentThreadId();
    queues().emplace(queue->owner, queue.get());
    tQueue = queue.release();
    if (gHaveQueueKey) pthread_setspecific(gQueueKey, tQueue);
  }
  return *tQueue;
}

ThreadId allocateThreadId() {
  ThreadId id = nextThreadId.fetch_add(1, std::memory_order_relaxed);
  if (id == 0) id = nextThreadId.fetch_add(1, std::memory_order_relaxed);  // after wrap-around
  return id;
}

void adoptThreadId(ThreadId id) { tThreadId = id; }

void destroyCurrentThreadQueue() {
  detail::ThreadQueue* queue = tQueue;
  if (queue == nullptr) return;
  tQueue = nullptr;
  if (gHaveQueueKey) pthread_setspecific(gQueueKey, nullptr);
  dropQueue(queue);
}

}  // namespace detail

}  // namespace tw::platform
