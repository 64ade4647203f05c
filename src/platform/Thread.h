// Threads that can be waited on: signalled once the body has returned.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/MessageQueue.h"
#include "platform/Waitable.h"

namespace tw::platform {

// Exit code reported while the body is still running.
inline constexpr uint32_t kStillActive = 259;
// Exit code of a body that ended by throwing.
inline constexpr uint32_t kThreadAbandoned = 0xFFFFFFFFu;

class Thread : public Waitable {
 public:
  // Starts a thread running `body`; null when the thread cannot be created
  // or the body is empty (never throws).
  static std::unique_ptr<Thread> start(std::function<uint32_t()> body);

  ThreadId id() const { return id_; }
  // Idempotent; a call from the thread itself returns at once.
  void join();
  // kStillActive until the body has returned.
  uint32_t exitCode() const;
  // Joins if still joinable. Must not run on the thread itself: the body
  // still touches this object after it returns.
  ~Thread() override;

 private:
#ifdef _WIN32
  Thread(void* handle, ThreadId id);

  const ThreadId id_;
#else
  explicit Thread(ThreadId id);
  void run(std::function<uint32_t()>& body);
  bool signalledLocked() const override;
  void consumeLocked() override;

  const ThreadId id_;
  std::thread thread_;
  std::mutex joinMutex_;
  bool finished_ = false;          // kernel lock
  uint32_t exitCode_ = kStillActive;  // kernel lock
#endif
};

void sleepMs(uint32_t ms);
// Names the calling thread where debuggers and process listings show it
// (at most 15 characters survive everywhere).
void nameThisThread(const char* name);

}  // namespace tw::platform
