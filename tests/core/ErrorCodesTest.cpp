#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/ErrorCodes.h"

namespace {

TEST(MapSystemError, TranslatesTheTable) {
    struct Case { uint32_t value; int32_t code; };
    const Case cases[] = {
        {0, 0}, {2, 7}, {3, 7}, {267, 7}, {4, 11}, {32, 5}, {33, 5},
        {0x80000002u, 7}, {0x80000003u, 7}, {0x8000010Bu, 7}, {0x80000004u, 11},
        {0x80000020u, 5}, {0x80000021u, 5}, {0x80004005u, 42}, {0x80070057u, 42},
        {0x8007000Eu, 2}, {0x80070005u, 8}, {0x8878000Au, 4802}, {0x88780032u, 42},
        {0x88780046u, 42}, {0x88780064u, 4811}, {0x88780078u, 4800}, {0x88780082u, 4802},
        {0x88780096u, 42}, {0x887800A0u, 4802}, {0x887800AAu, 42}, {0x887800B4u, 42},
        {0x887800BEu, 4806}, {0x887800C8u, 42}, {0x887800D2u, 42},
        // Unlisted values, including near misses of listed ones.
        {1, 4803}, {5, 4803}, {0x80004001u, 4803}, {0x80004002u, 4803}, {0x887800BFu, 4803},
        {0xFFFFFFFFu, 4803},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(tw::mapSystemError(static_cast<int32_t>(c.value)), c.code) << std::hex << c.value;
    }
}

TEST(MapRuntimeError, TranslatesErrno) {
    EXPECT_EQ(tw::mapRuntimeError(0), 0);
    EXPECT_EQ(tw::mapRuntimeError(2), 7);
    EXPECT_EQ(tw::mapRuntimeError(20), 7);
    EXPECT_EQ(tw::mapRuntimeError(13), 8);
    EXPECT_EQ(tw::mapRuntimeError(30), 8);
    EXPECT_EQ(tw::mapRuntimeError(21), 117);
    EXPECT_EQ(tw::mapRuntimeError(28), 9);
    EXPECT_EQ(tw::mapRuntimeError(-1), 42);
    EXPECT_EQ(tw::mapRuntimeError(24), 42);
}

TEST(SecondsToMs, ConvertsTruncatesAndWraps) {
    EXPECT_EQ(tw::secondsToMs(-0.5), 0xFFFFFFFFu);
    EXPECT_EQ(tw::secondsToMs(-std::numeric_limits<double>::infinity()), 0xFFFFFFFFu);
    EXPECT_EQ(tw::secondsToMs(0.0), 0u);
    EXPECT_EQ(tw::secondsToMs(-0.0), 0u);
    EXPECT_EQ(tw::secondsToMs(0.0005), 0u);
    EXPECT_EQ(tw::secondsToMs(0.0001), 0u);
    EXPECT_EQ(tw::secondsToMs(1.9999), 1999u);
    EXPECT_EQ(tw::secondsToMs(2.5), 2500u);
    EXPECT_EQ(tw::secondsToMs(std::nan("")), 0u);
    // 2^32 ms and a little more wrap modulo 2^32.
    EXPECT_EQ(tw::secondsToMs(4294967.2965), 0u);
    EXPECT_EQ(tw::secondsToMs(4294967.2975), 1u);
    // Beyond the 64-bit range the count saturates: still "no limit" in effect.
    EXPECT_EQ(tw::secondsToMs(1e300), 0xFFFFFFFFu);
    EXPECT_EQ(tw::secondsToMs(std::numeric_limits<double>::infinity()), 0xFFFFFFFFu);
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
