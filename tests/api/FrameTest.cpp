// The export frame on refnums that name nothing, and the early checks that
// answer before any registry is touched.
#include <gtest/gtest.h>

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

TEST_F(Frame, TaskOperationsOnUnknownRefnumsGive4801) {
    auto data = testhost::makeArray2D(TW_TYPE_I16, 2, 4);
    auto volumes = testhost::makeInt32Array({-100});
    for (TaskRefnum r : {kNever, -1, 0x7FFFFFFF}) {
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
    }
}

TEST_F(Frame, SOInfoOnUnknownRefnumLeavesOutputsAlone) {
    auto volumes = testhost::makeInt32Array({5, 6});
    uint8_t flag = 7;
    EXPECT_EQ(api().SOInfo(kNever, volumes.get(), &flag), 4801);
    EXPECT_EQ(testhost::readInt32Array(volumes.get()), (std::vector<int32_t>{5, 6}));
    EXPECT_EQ(flag, 7);
}

TEST_F(Frame, SOVolumeWithEmptyArrayAnswers1WithoutLookingUp) {
    auto empty = testhost::makeInt32Array({});
    EXPECT_EQ(api().SOVolume(kNever, empty.get()), 1);
    EXPECT_EQ(api().SOVolume(kNever, nullptr), 1) << "a null handle reads as an empty array";
}

TEST_F(Frame, SIReadNegativeCountIs4803AndLeavesTotal) {
    auto data = testhost::makeArray2D(TW_TYPE_I16, 2, 4);
    int32_t total = 99;
    EXPECT_EQ(api().SIRead(kNever, data.get(), -1, &total, 0.0, TW_TYPE_I16), 4803);
    EXPECT_EQ(total, 99);
    EXPECT_EQ(api().SIRead(kNever, data.get(), 10, &total, 0.0, TW_TYPE_I16), 4801);
    EXPECT_EQ(total, 0) << "not-found value of the total";
    EXPECT_EQ(api().SIRead(kNever, data.get(), 10, nullptr, 0.0, TW_TYPE_I16), 4801);
}

TEST_F(Frame, StateQueriesOnUnknownRefnums) {
    for (uint8_t input : {0, 1}) {
        uint8_t flag = input, running = 1, continuous = 1;
        EXPECT_EQ(api().GetConfState(kNever, &flag, &running, &continuous), 4801);
        EXPECT_EQ(running, 0);
        EXPECT_EQ(continuous, 0);
        EXPECT_EQ(api().GetConfState(kNever, &flag, nullptr, nullptr), 4801);

        double rate = 1.5;
        int32_t channels = 3, bits = 5;
        uint16_t type = 9;
        EXPECT_EQ(api().GetConfFormat(kNever, &flag, &rate, &channels, &bits, &type), 4801);
        EXPECT_EQ(rate, 1.5);
        EXPECT_EQ(channels, 3);
        EXPECT_EQ(bits, 5);
        EXPECT_EQ(type, 9);

        auto text = testhost::makeString("keep");
        EXPECT_EQ(api().GetStateDesc(kNever, &flag, text.get()), 4801);
        EXPECT_EQ(testhost::readString(text.get()), "keep");
    }
    // A null input flag selects the output registry.
    EXPECT_EQ(api().GetConfState(kNever, nullptr, nullptr, nullptr), 4801);
}

TEST_F(Frame, ConfigureWithoutDeviceWritesMinusOne) {
    double rate = 44100;
    int32_t channels = 2, bits = 16;
    TaskRefnum refnum = 5;
    EXPECT_EQ(api().SOConfigure(1000, 1024, &rate, &channels, &bits, 1, &refnum), 4800);
    EXPECT_EQ(refnum, -1);
    refnum = 5;
    EXPECT_EQ(api().SIConfigure(-1, 1024, &rate, &channels, &bits, 1, &refnum), 4800);
    EXPECT_EQ(refnum, -1);
    EXPECT_EQ(api().SOConfigure(1000, 1024, nullptr, nullptr, nullptr, 1, nullptr), 4800);
}

}  // namespace
