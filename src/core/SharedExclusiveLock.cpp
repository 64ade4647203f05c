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

void SharedExclusiveLock::lockSharedPassing() {
    waitForSingleObject(countGuard_, kInfinite);
    if (!exclusiveInside_) {
        if (readerCount_ == 0) noReaders_.reset();
        ++readerCount_;
        countGuard_.release();
        return;
    }
    countGuard_.release();
    lockShared();
}

void SharedExclusiveLock::unlockShared() {
    waitForSingleObject(countGuard_, kInfinite);
    if (--readerCount_ == 0) noReaders_.set();
    countGuard_.release();
}

void SharedExclusiveLock::lockExclusive() {
    waitForSingleObject(gate_, kInfinite);
    for (;;) {
        waitForSingleObject(noReaders_, kInfinite);
        // A passing reader may have come in since the event was set.
        waitForSingleObject(countGuard_, kInfinite);
        const bool empty = readerCount_ == 0;
        if (empty) exclusiveInside_ = true;
        countGuard_.release();
        if (empty) return;
    }
}

void SharedExclusiveLock::unlockExclusive() {
    waitForSingleObject(countGuard_, kInfinite);
    exclusiveInside_ = false;
    countGuard_.release();
    gate_.release();
}

int32_t SharedExclusiveLock::readerCount() const {
    auto& self = const_cast<SharedExclusiveLock&>(*this);
    waitForSingleObject(self.countGuard_, kInfinite);
    int32_t n = readerCount_;
    self.countGuard_.release();
    return n;
}

}  // namespace tw
