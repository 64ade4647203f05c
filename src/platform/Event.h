// Event: manual-reset events stay signalled for every waiter until reset;
// auto-reset events let exactly one waiter through per set, then reset.
#pragma once

#include "platform/Waitable.h"

namespace tw::platform {

class Event : public Waitable {
 public:
  Event(bool manualReset, bool initiallySignalled);

  void set();
  void reset();
  bool isSet() const;

 private:
#ifndef _WIN32
  bool signalledLocked() const override;
  void consumeLocked() override;

  const bool manualReset_;
  bool signalled_;
#endif
};

}  // namespace tw::platform
