#include "platform/Event.h"

#include <mutex>

#include "platform/Kernel.h"

namespace tw::platform {

Event::Event(bool manualReset, bool initiallySignalled)
    : manualReset_(manualReset), signalled_(initiallySignalled) {}

void Event::set() {
  std::lock_guard<std::mutex> lock(detail::kernelMutex());
  signalled_ = true;
  wakeWaitersLocked();
}

void Event::reset() {
  std::lock_guard<std::mutex> lock(detail::kernelMutex());
  signalled_ = false;
}

bool Event::isSet() const {
  std::lock_guard<std::mutex> lock(detail::kernelMutex());
  return signalled_;
}

bool Event::signalledLocked() const { return signalled_; }

void Event::consumeLocked() {
  if (!manualReset_) signalled_ = false;
}

}  // namespace tw::platform
