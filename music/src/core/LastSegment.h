// The most recently loaded segment still alive, for the control interface.
#pragma once

#include <mutex>

#include "tonewell_music_control.h"

namespace twm {

class Segment;

class LastSegment {
public:
    void set(const Segment* segment);
    // Forgets the segment if it is the one remembered.
    void forget(const Segment* segment);
    // False when no segment is remembered.
    bool info(twm_segment_info& out);

private:
    std::mutex mutex_;
    const Segment* segment_ = nullptr;
};

LastSegment& lastSegment();

}  // namespace twm
