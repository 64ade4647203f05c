#include "input/QuarterCounter.h"

#include <algorithm>

namespace tw {

QuarterCounter::QuarterCounter(uint32_t ringBytes)
    : ring_(std::max<uint32_t>(ringBytes, 4)), quarter_(ring_ / 4) {}

uint32_t QuarterCounter::boundaryAtOrBefore(uint32_t position) const {
    return std::min<uint32_t>((position % ring_) / quarter_, 3) * quarter_;
}

QuarterCounter::Step QuarterCounter::advance(uint32_t capturePosition) {
    const uint32_t boundary = boundaryAtOrBefore(capturePosition);
    const uint32_t quarters = (boundary / quarter_ + 4 - last_ / quarter_) % 4;
    const uint32_t bytes = (boundary + ring_ - last_) % ring_;
    last_ = boundary;
    return {quarters, bytes};
}

uint32_t QuarterCounter::nextBoundary() const { return last_ == 3 * quarter_ ? 0 : last_ + quarter_; }

}  // namespace tw
