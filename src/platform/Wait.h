// Waiting on kernel-style objects: one object, several objects, or several
// objects plus the calling thread's message queue.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw::platform {

class Waitable;

// Time-out value meaning "wait without limit".
inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;

// Results of the wait functions. An object index i is reported as
// kWaitObject0 + i; a message on the caller's queue as kWaitObject0 + count.
inline constexpr uint32_t kWaitObject0 = 0;
inline constexpr uint32_t kWaitTimeout = 258;
inline constexpr uint32_t kWaitFailed = 0xFFFFFFFFu;

// Waits until `object` is signalled (and consumes the signal where the object
// is auto-resetting) or `timeoutMs` passes. Returns kWaitObject0 or kWaitTimeout.
uint32_t waitForSingleObject(Waitable& object, uint32_t timeoutMs);

// Waits until any of `objects` is signalled; the lowest signalled index wins
// and only that object's signal is consumed. Returns kWaitObject0 + index,
// kWaitTimeout, or kWaitFailed for count 0 or a null entry.
uint32_t waitForMultipleObjects(Waitable* const* objects, size_t count, uint32_t timeoutMs);

// As waitForMultipleObjects, but also returns kWaitObject0 + count when a
// message is (or already was) waiting in the calling thread's message queue.
// The message itself is not removed: the caller peeks it.
uint32_t msgWaitForMultipleObjects(Waitable* const* objects, size_t count, uint32_t timeoutMs);

}  // namespace tw::platform
