#include <gtest/gtest.h>

#include <cmath>

#include "convert/WaveFormat.h"

namespace {

using tw::WaveFormat;

// Header values of every format are held to exact bytes by the writer's
// tests; these rates no export lets through.
TEST(WaveFormat, RatesWithoutAnIntegerValueGiveZero) {
    EXPECT_EQ(WaveFormat(2, std::nan(""), 16).formatRecord()->nSamplesPerSec, 0u);
    EXPECT_EQ(WaveFormat(2, 1e300, 16).formatRecord()->nAvgBytesPerSec, 0u);
    // Beyond 32 bits the low 32 bits of the 64-bit value are kept.
    EXPECT_EQ(WaveFormat(1, 4294967296.0 + 5.0, 8).formatRecord()->nSamplesPerSec, 5u);
}

}  // namespace
