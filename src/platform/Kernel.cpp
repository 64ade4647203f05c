#include "platform/Kernel.h"

#include <algorithm>
#include <chrono>

#include "platform/Immortal.h"
#include "platform/Wait.h"

namespace tw::platform::detail {

std::mutex& kernelMutex() {
  // Never destroyed: objects and thread queues may outlive static destruction.
  static std::mutex* mutex = immortal(new std::mutex);
  return *mutex;
}

uint32_t Kernel::wait(std::unique_lock<std::mutex>& lock, Waitable* const* objects, size_t count,
                      ThreadQueue* queue, uint32_t timeoutMs) {
  for (size_t i = 0; i < count; ++i) {
    if (objects[i]->signalledLocked()) {
      objects[i]->consumeLocked();
      return kWaitObject0 + static_cast<uint32_t>(i);
    }
  }
  if (queue != nullptr && !queue->messages.empty()) return kWaitObject0 + static_cast<uint32_t>(count);
  if (timeoutMs == 0) return kWaitTimeout;

  Waiter waiter;
  waiter.objects = objects;
  waiter.count = count;
  waiter.queue = queue;
  for (size_t i = 0; i < count; ++i) {
    if (std::find(objects, objects + i, objects[i]) == objects + i) objects[i]->waiters_.push_back(&waiter);
  }
  if (queue != nullptr) queue->waiter = &waiter;

  if (timeoutMs == kInfinite) {
    while (waiter.result == kPending) waiter.wake.wait(lock);
    return waiter.result;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (waiter.result == kPending) {
    if (waiter.wake.wait_until(lock, deadline) == std::cv_status::timeout && waiter.result == kPending) {
      finish(waiter, kWaitTimeout);
    }
  }
  return waiter.result;
}

void Kernel::objectSignalled(Waitable& object) {
  // A registered waiter has no signalled object, so the one signalled now is
  // also its lowest signalled index.
  while (!object.waiters_.empty() && object.signalledLocked()) {
    Waiter& waiter = *object.waiters_.front();
    const size_t index = static_cast<size_t>(std::find(waiter.objects, waiter.objects + waiter.count, &object) -
                                             waiter.objects);
    object.consumeLocked();
    finish(waiter, kWaitObject0 + static_cast<uint32_t>(index));
  }
}

void Kernel::messagePosted(ThreadQueue& queue) {
  if (queue.waiter != nullptr) finish(*queue.waiter, kWaitObject0 + static_cast<uint32_t>(queue.waiter->count));
}

void Kernel::objectDestroyed(Waitable& object) {
  while (!object.waiters_.empty()) finish(*object.waiters_.front(), kWaitFailed);
}

void Kernel::finish(Waiter& waiter, uint32_t result) {
  for (size_t i = 0; i < waiter.count; ++i) {
    auto& list = waiter.objects[i]->waiters_;
    auto it = std::find(list.begin(), list.end(), &waiter);
    if (it != list.end()) list.erase(it);
  }
  if (waiter.queue != nullptr && waiter.queue->waiter == &waiter) waiter.queue->waiter = nullptr;
  waiter.result = result;
  // Notified under the lock: once the lock is dropped the waiter may return
  // and take its condition variable with it.
  waiter.wake.notify_one();
}

}  // namespace tw::platform::detail

namespace tw::platform {

Waitable::Waitable() = default;

Waitable::~Waitable() {
  // Waits still blocked on a dying object fail rather than dangle.
  std::lock_guard<std::mutex> lock(detail::kernelMutex());
  detail::Kernel::objectDestroyed(*this);
}

void Waitable::wakeWaitersLocked() { detail::Kernel::objectSignalled(*this); }

}  // namespace tw::platform
