#include "platform/Wait.h"

#include <mutex>

#include "platform/Kernel.h"

namespace tw::platform {

namespace {

// As many handles as one kernel wait takes; a message wait keeps one slot
// for the queue.
constexpr size_t kMaximumWaitObjects = 64;

bool validObjects(Waitable* const* objects, size_t count, size_t limit) {
  if (count > limit) return false;
  if (count > 0 && objects == nullptr) return false;
  for (size_t i = 0; i < count; ++i) {
    if (objects[i] == nullptr) return false;
  }
  return true;
}

}  // namespace

uint32_t waitForSingleObject(Waitable& object, uint32_t timeoutMs) {
  Waitable* objects[] = {&object};
  return waitForMultipleObjects(objects, 1, timeoutMs);
}

uint32_t waitForMultipleObjects(Waitable* const* objects, size_t count, uint32_t timeoutMs) {
  if (count == 0 || !validObjects(objects, count, kMaximumWaitObjects)) return kWaitFailed;
  std::unique_lock<std::mutex> lock(detail::kernelMutex());
  return detail::Kernel::wait(lock, objects, count, nullptr, timeoutMs);
}

uint32_t msgWaitForMultipleObjects(Waitable* const* objects, size_t count, uint32_t timeoutMs) {
  if (!validObjects(objects, count, kMaximumWaitObjects - 1)) return kWaitFailed;
  std::unique_lock<std::mutex> lock(detail::kernelMutex());
  detail::ThreadQueue& queue = detail::currentThreadQueueLocked();
  return detail::Kernel::wait(lock, objects, count, &queue, timeoutMs);
}

}  // namespace tw::platform
