#include "platform/Thread.h"

#include <pthread.h>

#include <chrono>
#include <new>

#include "platform/Kernel.h"

namespace tw::platform {

std::unique_ptr<Thread> Thread::start(std::function<uint32_t()> body) {
  if (!body) return nullptr;
  std::unique_ptr<Thread> thread(new (std::nothrow) Thread(detail::allocateThreadId()));
  if (!thread) return nullptr;
  try {
    Thread* self = thread.get();
    thread->thread_ = std::thread([self, body = std::move(body)]() mutable { self->run(body); });
  } catch (...) {
    return nullptr;
  }
  return thread;
}

Thread::Thread(ThreadId id) : id_(id) {}

Thread::~Thread() { join(); }

void Thread::join() {
  // Checked before the lock: another thread may hold it while joining us.
  if (currentThreadId() == id_) return;
  std::lock_guard<std::mutex> lock(joinMutex_);
  if (thread_.joinable()) thread_.join();
}

uint32_t Thread::exitCode() const {
  std::lock_guard<std::mutex> lock(detail::kernelMutex());
  return exitCode_;
}

void Thread::run(std::function<uint32_t()>& body) {
  detail::adoptThreadId(id_);
  uint32_t code = kThreadAbandoned;
  try {
    code = body();
  } catch (...) {
    // An escaping exception would end the whole process.
  }
  // Whatever the body captured is gone, and the queue refuses posts, before
  // anyone sees the thread as ended.
  body = nullptr;
  detail::destroyCurrentThreadQueue();
  std::lock_guard<std::mutex> lock(detail::kernelMutex());
  exitCode_ = code;
  finished_ = true;
  wakeWaitersLocked();
}

bool Thread::signalledLocked() const { return finished_; }

void Thread::consumeLocked() {}

void sleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void nameThisThread(const char* name) { pthread_setname_np(pthread_self(), name); }

}  // namespace tw::platform
