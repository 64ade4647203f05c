// Readers/writer lock built from two semaphores and a manual-reset event.
// An exclusive locker takes `gate` and keeps it, so new lockers of either
// kind queue behind it while it waits for the readers to leave. Calls that
// end waits (stop, pause, the shutdown before a clear) enter with
// lockSharedPassing: they join the readers already inside instead of
// queueing, or a reader waiting for one of them would hold the exclusive
// locker, and everyone behind it, for ever.
#pragma once

#include <cstdint>

#include "platform/Event.h"
#include "platform/Semaphore.h"

namespace tw {

class SharedExclusiveLock {
public:
    SharedExclusiveLock();
    ~SharedExclusiveLock();
    SharedExclusiveLock(const SharedExclusiveLock&) = delete;
    SharedExclusiveLock& operator=(const SharedExclusiveLock&) = delete;

    void lockShared();
    // Shared, but past an exclusive locker still waiting for readers to
    // leave; queues as lockShared only while one is inside.
    void lockSharedPassing();
    void unlockShared();
    void lockExclusive();
    void unlockExclusive();

    // Readers currently inside (for tests and diagnostics).
    int32_t readerCount() const;

private:
    platform::Semaphore gate_{1, 1};
    platform::Semaphore countGuard_{1, 1};
    platform::Event noReaders_{true, true};
    int32_t readerCount_ = 0;       // changes only while countGuard_ is held
    bool exclusiveInside_ = false;  // likewise
};

}  // namespace tw
