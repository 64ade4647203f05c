// Per-thread message queues and thread ids.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw::platform {

// Nonzero; unique per thread for the process lifetime (on Windows, the
// system's thread id: unique among the threads alive at one time).
using ThreadId = uint32_t;

ThreadId currentThreadId();

struct Message {
  uint32_t message;
  uintptr_t wParam;
  intptr_t lParam;
};

inline constexpr uint32_t kQuitMessage = 0x0012;

// Messages a queue holds at most; posts beyond it fail.
inline constexpr size_t kMaximumPostedMessages = 10000;

// Posts to the thread's queue; false if that thread has no queue yet (it
// never peeked or waited for messages), has ended, or its queue is full.
bool postThreadMessage(ThreadId thread, uint32_t message, uintptr_t wParam = 0, intptr_t lParam = 0);

// Peeks the calling thread's queue (creating the queue on first call); true
// and fills `out` when a message is there; removes it when `remove`.
bool peekMessage(Message& out, bool remove);

}  // namespace tw::platform
