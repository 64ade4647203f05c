// The export frame on refnums that name nothing, and the early checks that
// answer before any registry is touched.
#include <gtest/gtest.h>

#include <tuple>
#include <utility>

#include "host/Library.h"
#include "host/TestHost.h"

namespace {

using testhost::library;

class Frame : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(library().loaded()) << library().error(); }
    const testhost::Exports& api() { return library().api(); }
    static constexpr TaskRefnum kNever = 123456;
};

// Outputs are left alone, but for the totals of SIRead (0 written).
TEST_F(Frame, TaskOperationsOnUnknownRefnumsGive4801) {
    auto data = testhost::makeArray2D(TW_TYPE_I16, 2, 4);
    auto volumes = testhost::makeInt32Array({5, 6});
    for (TaskRefnum r : {kNever, -1, 0x7FFFFFFF}) {
        SCOPED_TRACE(r);
        EXPECT_EQ(api().SOWrite(r, data.get(), 0.0, TW_TYPE_I16), 4801);
        EXPECT_EQ(api().SOStart(r), 4801);
        EXPECT_EQ(api().SOStop(r), 4801);
        EXPECT_EQ(api().SOPause(r), 4801);
        EXPECT_EQ(api().SOWait(r, 0.0), 4801);
        EXPECT_EQ(api().SOVolume(r, volumes.get()), 4801);
        EXPECT_EQ(api().SOClear(r), 4801);
        EXPECT_EQ(api().SIStart(r), 4801);
        EXPECT_EQ(api().SIStop(r), 4801);
        EXPECT_EQ(api().SIClear(r), 4801);
        uint8_t flag = 7;
        EXPECT_EQ(api().SOInfo(r, volumes.get(), &flag), 4801);
        EXPECT_EQ(testhost::readInt32Array(volumes.get()), (std::vector<int32_t>{5, 6}));
        EXPECT_EQ(flag, 7);
        int32_t total = 99;
        EXPECT_EQ(api().SIRead(r, data.get(), 10, &total, 0.0, TW_TYPE_I16), 4801);
        EXPECT_EQ(total, 0) << "not-found value of the total";
        EXPECT_EQ(api().SIRead(r, data.get(), 10, nullptr, 0.0, TW_TYPE_I16), 4801);
    }
}

// Checks that answer before any lookup: no volumes, a negative count, and a
// negative device index, even with no format to read. (Indexes past the last
// device are the output and input tests'.)
TEST_F(Frame, EarlyChecksAnswerBeforeTheRefnumIsLookedUp) {
    auto empty = testhost::makeInt32Array({});
    EXPECT_EQ(api().SOVolume(kNever, empty.get()), 1);
    EXPECT_EQ(api().SOVolume(kNever, nullptr), 1) << "a null handle reads as an empty array";
    auto data = testhost::makeArray2D(TW_TYPE_I16, 2, 4);
    int32_t total = 99;
    EXPECT_EQ(api().SIRead(kNever, data.get(), -1, &total, 0.0, TW_TYPE_I16), 4803);
    EXPECT_EQ(total, 99);
    double rate = 44100;
    int32_t channels = 2, bits = 16;
    TaskRefnum refnum = 5;
    EXPECT_EQ(api().SIConfigure(-1, 1024, &rate, &channels, &bits, 1, &refnum), 4800);
    EXPECT_EQ(refnum, -1);
    EXPECT_EQ(api().SOConfigure(-1, 1024, nullptr, nullptr, nullptr, 1, nullptr), 4800);
}

// The flags are cleared; the other outputs are left alone. A null input flag
// selects the output registry.
TEST_F(Frame, StateQueriesOnUnknownRefnums) {
    for (int which : {0, 1, 2}) {  // output, input, no flag
        uint8_t input = which == 1, running = 1, continuous = 1;
        uint8_t* inputFlag = which < 2 ? &input : nullptr;
        EXPECT_EQ(api().GetConfState(kNever, inputFlag, &running, &continuous), 4801);
        EXPECT_EQ(std::pair(running, continuous), std::pair(uint8_t{0}, uint8_t{0}));
        EXPECT_EQ(api().GetConfState(kNever, inputFlag, nullptr, nullptr), 4801);
        double rate = 1.5;
        int32_t channels = 3, bits = 5;
        uint16_t type = 9;
        EXPECT_EQ(api().GetConfFormat(kNever, inputFlag, &rate, &channels, &bits, &type), 4801);
        EXPECT_EQ(std::tuple(rate, channels, bits, type), std::tuple(1.5, 3, 5, uint16_t{9}));
        auto text = testhost::makeString("keep");
        EXPECT_EQ(api().GetStateDesc(kNever, inputFlag, text.get()), 4801);
        EXPECT_EQ(testhost::readString(text.get()), "keep");
    }
}

}  // namespace
