// Quarter geometry of the ring.
#include <gtest/gtest.h>

#include "output/RingGeometry.h"

namespace tw {
namespace {

// Quarters of whole frames, as near a quarter of the ring as frames allow;
// each is notified at its last byte, and every offset maps to its quarter.
TEST(RingGeometry, RingsOfAnyFrameCountKeepWholeFrameQuarters) {
    for (uint32_t frames : {4u, 5u, 7u, 10u, 1001u, 44100u}) {
        for (uint32_t frameBytes : {1u, 3u, 4u, 6u}) {
            RingGeometry ring(frames * frameBytes, frameBytes);
            uint32_t sum = 0;
            for (uint32_t i = 0; i < 4; ++i) {
                EXPECT_EQ(ring.boundary(i) % frameBytes, 0u);
                EXPECT_GE(ring.quarterSize(i), frameBytes * (frames / 4));
                EXPECT_LE(ring.quarterSize(i), frameBytes * (frames / 4 + 1));
                EXPECT_EQ(ring.quarterOf(ring.boundary(i)), i);
                EXPECT_EQ(ring.quarterOf(ring.notifyOffset(i)), i);
                EXPECT_LT(ring.notifyOffset(i), ring.bytes());
                sum += ring.quarterSize(i);
            }
            EXPECT_EQ(sum, ring.bytes());
        }
    }
}

}  // namespace
}  // namespace tw
