// Counts the quarter boundaries of a capture ring that the capture position
// has passed. A worker that wakes late (several notifications folded into one
// wake, or a wake after the position ran past the next window) still counts
// every quarter, as long as the capture has moved less than a whole ring.
#pragma once

#include <cstdint>

namespace tw {

class QuarterCounter {
public:
    // ringBytes >= 4. Boundaries lie at q, 2q, 3q and the ring's end, with
    // q = ringBytes / 4; the last quarter also holds ringBytes mod 4.
    explicit QuarterCounter(uint32_t ringBytes);

    struct Step {
        uint32_t quarters;  // boundaries passed since the last counted one
        uint32_t bytes;     // ring bytes those quarters span
    };
    // Counts the boundaries up to the capture position; a position still in
    // the quarter last counted gives {0, 0}.
    Step advance(uint32_t capturePosition);

    // Offset of the next boundary due (0 stands for the ring's end).
    uint32_t nextBoundary() const;
    uint32_t quarterBytes() const { return quarter_; }

private:
    uint32_t boundaryAtOrBefore(uint32_t position) const;

    uint32_t ring_;
    uint32_t quarter_;
    uint32_t last_ = 0;  // the boundary counted last; the capture starts at 0
};

}  // namespace tw
