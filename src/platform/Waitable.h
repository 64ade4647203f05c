// Base of every object a thread can wait on (semaphores, events, threads).
// On Windows each one is a kernel object and the waits are the system's own;
// elsewhere the objects below stand in for them. Each module that links the
// platform layer has its own copy of the kernel lock and queues, so objects
// never cross module boundaries: a module that must wake another module's
// thread calls back into that module instead.
#pragma once

#include <vector>

namespace tw::platform {

namespace detail {
class Kernel;
struct Waiter;
}  // namespace detail

class Waitable {
 public:
  virtual ~Waitable();
  Waitable(const Waitable&) = delete;
  Waitable& operator=(const Waitable&) = delete;

#ifdef _WIN32
  // The kernel object, closed with the Waitable.
  void* nativeHandle() const { return handle_; }

 protected:
  explicit Waitable(void* handle);

 private:
  void* handle_;
#else
 protected:
  Waitable();

  // The state below is guarded by the kernel lock (detail::kernelMutex()).
  virtual bool signalledLocked() const = 0;
  // Takes what one satisfied wait takes: a count, an auto-reset signal, or nothing.
  virtual void consumeLocked() = 0;
  // Call after the object may have become signalled; hands the signal to the
  // threads blocked on this object, oldest first.
  void wakeWaitersLocked();

 private:
  friend class detail::Kernel;
  std::vector<detail::Waiter*> waiters_;  // arrival order
#endif
};

}  // namespace tw::platform
