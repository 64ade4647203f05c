// The worker's quarter count: every quarter boundary the capture passed is
// counted once, however the notifications arrive.
#include <gtest/gtest.h>

#include <vector>

#include "input/QuarterCounter.h"

namespace {

using tw::QuarterCounter;

TEST(QuarterCounter, EveryBoundaryPassedCountsOnce) {
    struct Step {
        uint32_t position, quarters, bytes;
    };
    const struct {
        const char* name;
        uint32_t ring;
        std::vector<Step> steps;
    } cases[] = {
        // The first window is [1000, 2000); 10 has wrapped past the end.
        {"one quarter per window round the ring", 4000, {{1000, 1, 1000}, {2999, 1, 1000}, {3000, 1, 1000},
                                                         {10, 1, 1000}, {1999, 1, 1000}}},
        // Repeated wakes for the quarter already counted.
        {"same quarter again", 4000, {{999, 0, 0}, {1500, 1, 1000}, {1999, 0, 0}, {1500, 0, 0}}},
        // 1000 was due and 2000 passed as well; then 3000, the end and 1000.
        {"late wakes", 4000, {{2500, 2, 2000}, {1200, 3, 3000}, {3999, 2, 2000}}},
        // q = 1000, the last quarter [3000, 4003); two laps count two rings.
        {"uneven ring", 4003, {{3000, 3, 3000}, {4002, 0, 0}, {0, 1, 1003}, {1000, 1, 1000}, {2000, 1, 1000},
                               {3000, 1, 1000}, {5, 1, 1003}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QuarterCounter counter(c.ring);
        EXPECT_EQ(counter.nextBoundary(), c.ring / 4);
        for (const Step& s : c.steps) {
            const QuarterCounter::Step step = counter.advance(s.position);
            EXPECT_EQ(step.quarters, s.quarters) << "at " << s.position;
            EXPECT_EQ(step.bytes, s.bytes) << "at " << s.position;
        }
    }
    QuarterCounter counter(4000);
    counter.advance(3000);
    EXPECT_EQ(counter.nextBoundary(), 0u) << "past the last quarter the next boundary is the ring's start";
}

}  // namespace
