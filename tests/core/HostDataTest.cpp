// Host strings and arrays as the library writes them, against the test host.
// (A host's failed resize and null handles reach the device query tests, the
// dimensions of arrays every data call.)
#include <gtest/gtest.h>

#include "host/HostData.h"
#include "host/TestHost.h"

namespace {

// (Long paths are cut in the file tests; a null string reads as empty in the
// playback tests.) A corrupt length reads as empty, never a huge copy.
TEST(HostData, StringsAreWrittenSizedAndTerminatedAndCorruptOnesReadEmpty) {
    auto s = testhost::makeString("old text that is long");
    ASSERT_EQ(tw::host::writeString(s.get(), "abc"), 0);
    EXPECT_EQ(testhost::readString(s.get()), "abc");
    EXPECT_EQ(testhost::blockSize(s.get()), 3u + 5u);
    EXPECT_EQ((*s.get())->text[3], '\0') << "NUL behind the counted length";

    ASSERT_EQ(tw::host::writeString(s.get(), ""), 0);
    EXPECT_EQ((*s.get())->length, 0);
    EXPECT_EQ(testhost::blockSize(s.get()), 5u);

    (*s.get())->length = -5;
    char buf[4] = "xyz";
    tw::host::readString(s.get(), buf, sizeof buf);
    EXPECT_STREQ(buf, "");
}

// Arrays are sized to what is written; sizes beyond int32 never reach the host.
TEST(HostData, Int32ArraysAreSizedAndSizesBeyondInt32Refused) {
    auto a = testhost::makeInt32Array({9, 9, 9, 9});
    const int32_t values[] = {1, 2};
    ASSERT_EQ(tw::host::writeInt32Array(a.get(), values, 2), 0);
    EXPECT_EQ(testhost::readInt32Array(a.get()), (std::vector<int32_t>{1, 2}));
    EXPECT_EQ(testhost::blockSize(a.get()), 12u);
    ASSERT_EQ(tw::host::writeInt32Array(a.get(), nullptr, 0), 0);
    EXPECT_EQ(testhost::blockSize(a.get()), 4u);

    EXPECT_TRUE(tw::host::sizeFits(INT32_MAX));
    EXPECT_FALSE(tw::host::sizeFits(int64_t{INT32_MAX} + 1));
    EXPECT_FALSE(tw::host::sizeFits(-1));
    int before = testhost::resizeCalls();
    EXPECT_EQ(tw::host::writeInt32Array(a.get(), nullptr, INT32_MAX / 2), 2);
    EXPECT_EQ(testhost::resizeCalls(), before) << "no wrapped size reaches the host";
}

}  // namespace
