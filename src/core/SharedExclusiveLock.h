// Readers/writer lock built from two semaphores and a manual-reset event.
// An exclusive locker takes `gate` and keeps it, so new lockers of either
// kind queue behind it while it waits for the readers to leave.
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
    void unlockShared();
    void lockExclusive();
    void unlockExclusive();

    // Readers currently inside (for tests and diagnostics).
    int32_t readerCount() const;

private:
    platform::Semaphore gate_{1, 1};
    platform::Semaphore countGuard_{1, 1};
    platform::Event noReaders_{true, true};
    int32_t readerCount_ = 0;  // changes only while countGuard_ is held
};

}  // namespace tw
