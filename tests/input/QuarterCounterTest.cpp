// The worker's quarter count: every quarter boundary the capture passed is
// counted once, however the notifications arrive.
#include <gtest/gtest.h>

#include "input/QuarterCounter.h"

namespace {

using tw::QuarterCounter;

void expectStep(QuarterCounter& counter, uint32_t position, uint32_t quarters, uint32_t bytes) {
    QuarterCounter::Step step = counter.advance(position);
    EXPECT_EQ(step.quarters, quarters) << "at " << position;
    EXPECT_EQ(step.bytes, bytes) << "at " << position;
}

TEST(QuarterCounter, OneQuarterPerWindowRoundTheRing) {
    QuarterCounter counter(4000);
    EXPECT_EQ(counter.nextBoundary(), 1000u);
    expectStep(counter, 1000, 1, 1000);  // first window is [1000, 2000)
    expectStep(counter, 2999, 1, 1000);
    expectStep(counter, 3000, 1, 1000);
    EXPECT_EQ(counter.nextBoundary(), 0u);
    expectStep(counter, 10, 1, 1000);  // wrapped past the end
    expectStep(counter, 1999, 1, 1000);
}

TEST(QuarterCounter, PositionInTheQuarterAlreadyCountedCountsNothing) {
    QuarterCounter counter(4000);
    expectStep(counter, 999, 0, 0);
    expectStep(counter, 1500, 1, 1000);
    expectStep(counter, 1999, 0, 0);  // a repeated wake for the same quarter
    expectStep(counter, 1500, 0, 0);
}

TEST(QuarterCounter, LateWakeCountsEveryQuarterPassed) {
    QuarterCounter counter(4000);
    expectStep(counter, 2500, 2, 2000);  // 1000 was due; 2000 passed as well
    expectStep(counter, 1200, 3, 3000);  // 3000, the end and 1000
    expectStep(counter, 3999, 2, 2000);
}

TEST(QuarterCounter, UnevenRingPutsTheRemainderInTheLastQuarter) {
    QuarterCounter counter(4003);  // q = 1000, last quarter [3000, 4003)
    expectStep(counter, 3000, 3, 3000);
    expectStep(counter, 4002, 0, 0);
    expectStep(counter, 0, 1, 1003);
    uint64_t bytes = 3000 + 1003;  // the first lap, counted above
    for (uint32_t position : {1000u, 2000u, 3000u, 5u}) bytes += counter.advance(position).bytes;
    EXPECT_EQ(bytes, 2 * 4003u) << "two laps count exactly two rings of bytes";
}

}  // namespace
