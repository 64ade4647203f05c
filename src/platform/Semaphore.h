// Counting semaphore: signalled while its count is above zero; every
// satisfied wait takes one count.
#pragma once

#include <cstdint>

#include "platform/Waitable.h"

namespace tw::platform {

class Semaphore : public Waitable {
 public:
  // A maximum below 1 is taken as 1; the initial count is clamped to [0, maximum].
  Semaphore(int32_t initialCount, int32_t maximumCount);

  // Adds `count`; fails (returns false, changes nothing) when the count would
  // exceed the maximum or count <= 0.
  bool release(int32_t count = 1, int32_t* previousCount = nullptr);

#ifndef _WIN32
 private:
  bool signalledLocked() const override;
  void consumeLocked() override;

  int32_t count_;
  const int32_t maximum_;
#endif
};

}  // namespace tw::platform
