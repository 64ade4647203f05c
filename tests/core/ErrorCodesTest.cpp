#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/ErrorCodes.h"

namespace {

// The tables' edges and near misses (every listed value is an entry of the
// same table in the code; restating them all would test nothing).
TEST(ErrorCodes, TranslationsAndTheirDefaults) {
    EXPECT_EQ(tw::mapSystemError(0), 0);
    EXPECT_EQ(tw::mapSystemError(static_cast<int32_t>(0x887800BEu)), 4806) << "the module's own code";
    EXPECT_EQ(tw::mapSystemError(static_cast<int32_t>(0x8000010Bu)), 7) << "top bit set";
    EXPECT_EQ(tw::mapSystemError(static_cast<int32_t>(0x8007000Eu)), 2);
    for (uint32_t unlisted : {1u, 5u, 0x80004001u, 0x887800BFu, 0xFFFFFFFFu})
        EXPECT_EQ(tw::mapSystemError(static_cast<int32_t>(unlisted)), 4803) << std::hex << unlisted;
    EXPECT_EQ(tw::mapRuntimeError(0), 0);
    EXPECT_EQ(tw::mapRuntimeError(21), 117);
    EXPECT_EQ(tw::mapRuntimeError(-1), 42);
}

TEST(SecondsToMs, ConvertsTruncatesAndWraps) {
    EXPECT_EQ(tw::secondsToMs(-0.5), 0xFFFFFFFFu);
    EXPECT_EQ(tw::secondsToMs(-std::numeric_limits<double>::infinity()), 0xFFFFFFFFu);
    EXPECT_EQ(tw::secondsToMs(-0.0), 0u);
    EXPECT_EQ(tw::secondsToMs(0.0005), 0u);
    EXPECT_EQ(tw::secondsToMs(1.9999), 1999u);
    EXPECT_EQ(tw::secondsToMs(std::nan("")), 0u);
    // 2^32 ms and a little more wrap modulo 2^32.
    EXPECT_EQ(tw::secondsToMs(4294967.2965), 0u);
    EXPECT_EQ(tw::secondsToMs(4294967.2975), 1u);
    // Beyond the 64-bit range the count saturates: still "no limit" in effect.
    EXPECT_EQ(tw::secondsToMs(1e300), 0xFFFFFFFFu);
}

// Whatever a platform layer reports, the host gets a code it can look up.
TEST(ErrorTranslation, LandsOnDocumentedCodes) {
    const uint32_t bases[] = {0u, 0x80000000u, 0x80004000u, 0x80070000u, 0x88780000u, 0xFFFFFF00u};
    for (uint32_t base : bases)
        for (uint32_t v = base; v < base + 0x200u && v >= base; ++v)
            EXPECT_TRUE(tw::err::isDocumented(tw::mapSystemError(static_cast<int32_t>(v)))) << std::hex << v;
    for (int32_t e = -2; e < 200; ++e) EXPECT_TRUE(tw::err::isDocumented(tw::mapRuntimeError(e))) << e;
    EXPECT_FALSE(tw::err::isDocumented(4804));
}

}  // namespace
