#include "core/LastSegment.h"

#include "core/Segment.h"

namespace twm {

void LastSegment::set(const Segment* segment) {
    std::lock_guard<std::mutex> lock(mutex_);
    segment_ = segment;
}

void LastSegment::forget(const Segment* segment) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (segment_ == segment) segment_ = nullptr;
}

bool LastSegment::info(twm_segment_info& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!segment_) return false;
    segment_->info(out);
    return true;
}

LastSegment& lastSegment() {
    static LastSegment* last = new LastSegment();
    return *last;
}

}  // namespace twm
