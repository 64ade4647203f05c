#include "core/SharedExclusiveLock.h"

#include "platform/Wait.h"

namespace tw {

using platform::kInfinite;
using platform::waitForSingleObject;

SharedExclusiveLock::SharedExclusiveLock() = default;

SharedExclusiveLock::~SharedExclusiveLock() {
    // Neither wait blocks: the owner destroys the lock while holding it, or
    // with nobody left to use it.
    waitForSingleObject(countGuard_, 0);
    waitForSingleObject(gate_, 0);
}

void SharedExclusiveLock::lockShared() {
    waitForSingleObject(gate_, kInfinite);
    waitForSingleObject(countGuard_, kInfinite);
    if (readerCount_ == 0) noReaders_.reset();
    ++readerCount_;
    countGuard_.release();
    gate_.release();
}

void SharedExclusiveLock::unlockShared() {
    waitForSingleObject(countGuard_, kInfinite);
    if (--readerCount_ == 0) noReaders_.set();
    countGuard_.release();
}

void SharedExclusiveLock::lockExclusive() {
    waitForSingleObject(gate_, kInfinite);
    waitForSingleObject(noReaders_, kInfinite);
}

void SharedExclusiveLock::unlockExclusive() { gate_.release(); }

int32_t SharedExclusiveLock::readerCount() const {
    auto& self = const_cast<SharedExclusiveLock&>(*this);
    waitForSingleObject(self.countGuard_, kInfinite);
    int32_t n = readerCount_;
    self.countGuard_.release();
    return n;
}

}  // namespace tw
