#include "platform/Semaphore.h"

#include <algorithm>
#include <mutex>

#include "platform/Kernel.h"

namespace tw::platform {

Semaphore::Semaphore(int32_t initialCount, int32_t maximumCount)
    : count_(0), maximum_(std::max<int32_t>(maximumCount, 1)) {
  count_ = std::clamp<int32_t>(initialCount, 0, maximum_);
}

bool Semaphore::release(int32_t count, int32_t* previousCount) {
  std::lock_guard<std::mutex> lock(detail::kernelMutex());
  if (count <= 0 || count > maximum_ - count_) return false;
  if (previousCount != nullptr) *previousCount = count_;
  count_ += count;
  wakeWaitersLocked();
  return true;
}

bool Semaphore::signalledLocked() const { return count_ > 0; }

void Semaphore::consumeLocked() { --count_; }

}  // namespace tw::platform
