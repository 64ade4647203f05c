// Making input tasks, their state queries, and the one capture run a task has.
#include "InputTestSupport.h"

namespace inputtest {
namespace {

class InputConfigure : public InputTest {};

TEST_F(InputConfigure, ArgumentsOutOfRangeMakeNoTask) {
    struct Case {
        int32_t frames;
        Format format;
        int32_t device;
        int32_t expected;
    };
    const Case cases[] = {
        {3, {}, 0, 4803},
        {268435456, {}, 0, 4803},
        {0, {}, 0, 4803},
        {1000, {0.0, 2, 16}, 0, 4803},
        {1000, {-1.0, 2, 16}, 0, 4803},
        {1000, {44100.0, 0, 16}, 0, 4803},
        {1000, {44100.0, 2, 0}, 0, 4803},
        {1000, {44100.0, 2, 40}, 0, 4811},     // no 40-bit container
        {1000, {200000.0, 2, 16}, 0, 4811},    // beyond the device's rates
        {1000, {}, 2, 4800},                   // no third capture device
        {0x7FFFFFF, {44100.0, 8, 32}, 0, 4803},  // more bytes than a ring may hold
    };
    for (const Case& c : cases) {
        Format format = c.format;
        TaskRefnum refnum = 0;
        EXPECT_EQ(configure(refnum, c.frames, format, 1, c.device), c.expected)
            << c.frames << " frames, " << c.format.rate << " Hz, " << c.format.channels << " ch, " << c.format.bits;
        EXPECT_EQ(refnum, -1);
    }
    double rate = 44100.0;
    int32_t channels = 2;
    TaskRefnum refnum = 0;
    EXPECT_EQ(api().SIConfigure(0, 1000, &rate, &channels, nullptr, 1, &refnum), 1);
    EXPECT_EQ(refnum, -1);
    EXPECT_EQ(api().SIConfigure(0, 1000, &rate, nullptr, &channels, 1, &refnum), 1);
}

TEST_F(InputConfigure, ReportsTheFormatTheBufferCaptures) {
    Format format{44100.0, 2, 16};
    TaskRefnum refnum = -1;
    ASSERT_EQ(configure(refnum, 44100, format), 0);
    EXPECT_EQ(format.rate, 44100.0);
    EXPECT_EQ(format.channels, 2);
    EXPECT_EQ(format.bits, 16);

    Format fixed{48000.0, 2, 16};  // Virtual Input 2 captures at 44100 Hz only
    TaskRefnum other = -1;
    ASSERT_EQ(configure(other, 1000, fixed, 1, 1), 0);
    EXPECT_EQ(fixed.rate, 44100.0);

    uint8_t input = 1;
    for (auto [bits, type] : {std::pair{8, TW_TYPE_U8}, {12, TW_TYPE_I16}, {24, TW_TYPE_I32}, {32, TW_TYPE_I32}}) {
        Format f{22050.0, 1, bits};
        TaskRefnum r = open(400, f);
        double rate = 0;
        int32_t channels = 0, gotBits = 0;
        uint16_t gotType = 0;
        EXPECT_EQ(api().GetConfFormat(r, &input, &rate, &channels, &gotBits, &gotType), 0);
        EXPECT_EQ(rate, 22050.0);
        EXPECT_EQ(channels, 1);
        EXPECT_EQ(gotBits, bits);
        EXPECT_EQ(gotType, type) << bits << " bits";
    }
}

TEST_F(InputConfigure, StateQueriesOnAnInputTask) {
    uint8_t input = 1;
    for (int32_t mode : {0, 1, 2}) {
        TaskRefnum refnum = open(4410, {}, mode);
        uint8_t isRunning = 0, continuous = 7;
        EXPECT_EQ(api().GetConfState(refnum, &input, &isRunning, &continuous), 0);
        EXPECT_EQ(isRunning, 1) << "capture starts at configuration";
        EXPECT_EQ(continuous, mode == 1 ? 1 : 0);
        auto text = testhost::makeString("");
        EXPECT_EQ(api().GetStateDesc(refnum, &input, text.get()), 0);
        EXPECT_EQ(testhost::readString(text.get()), "InputData ");
    }
}

// One run per task: once stopped it refuses to start or read again, and a
// second stop is harmless.
TEST_F(InputConfigure, StoppedCaptureStaysStopped) {
    ASSERT_EQ(vd().tws_virtual_set_manual_clock(1), 0);
    TaskRefnum refnum = open(64);
    EXPECT_EQ(api().SIStop(refnum), 0);
    EXPECT_EQ(api().SIStart(refnum), 4823);
    Read r = read(refnum, 16);
    EXPECT_EQ(r.result, 4823);
    EXPECT_EQ(api().SIStop(refnum), 0);
    EXPECT_EQ(api().SIStart(refnum), 4823);
    EXPECT_FALSE(running(refnum));
    EXPECT_EQ(api().SIClear(refnum), 0);
    EXPECT_EQ(api().SIClear(refnum), 4801);
}

// Whatever the start met, the capture delivers from its first frame: a
// start of a running capture keeps it; a capture that never reports
// capturing (as a one-shot ring that fills before the first look) does not
// hold configure up for ever; one that failed to start is started by the
// first read.
TEST_F(InputConfigure, CaptureDeliversFromItsFirstFrameWhateverTheStartMet) {
    ASSERT_EQ(vd().tws_virtual_set_manual_clock(1), 0);
    for (uint32_t method : {0u, uint32_t{TWS_VIRTUAL_METHOD_GET_STATUS}, uint32_t{TWS_VIRTUAL_METHOD_START}}) {
        SCOPED_TRACE(testing::Message() << "fault of method " << method);
        const bool failedStart = method == TWS_VIRTUAL_METHOD_START;
        if (method) {
            ASSERT_EQ(vd().tws_virtual_fault_method(method, TWS_VIRTUAL_CAPTURE, TWS_E_FAIL, failedStart ? 1 : 1000000),
                      0);
        }
        TaskRefnum refnum = open(64, {}, method == TWS_VIRTUAL_METHOD_GET_STATUS ? 0 : 1);
        vd().tws_virtual_clear_faults();
        EXPECT_EQ(running(refnum), !failedStart);
        EXPECT_EQ(failedStart ? read(refnum, 16, 0.0).result : 4822, 4822);
        EXPECT_EQ(method ? 0 : api().SIStart(refnum), 0);
        EXPECT_TRUE(running(refnum));
        advance(32);
        Read r = read(refnum, 32);
        EXPECT_EQ(r.result, 0);
        EXPECT_TRUE(holdsFrames(r.array.get(), TW_TYPE_I16, 16, 2, 0));
        EXPECT_EQ(api().SIClear(refnum), 0);
    }
}

// A buffer that never reports capturing after its start: start says so.
TEST_F(InputConfigure, StartReturnsTheCaptureStateItFound) {
    ASSERT_EQ(vd().tws_virtual_set_manual_clock(1), 0);
    ASSERT_EQ(vd().tws_virtual_fault_method(TWS_VIRTUAL_METHOD_START, TWS_VIRTUAL_CAPTURE, TWS_E_FAIL, 1), 0);
    TaskRefnum refnum = open(64);
    ASSERT_EQ(vd().tws_virtual_fault_method(TWS_VIRTUAL_METHOD_GET_STATUS, TWS_VIRTUAL_CAPTURE, TWS_E_FAIL, 1000),
              0);
    EXPECT_EQ(api().SIStart(refnum), 4823);
    vd().tws_virtual_clear_faults();
    EXPECT_EQ(api().SIStart(refnum), 0);
    EXPECT_TRUE(running(refnum));
}

TEST_F(InputConfigure, RefusedNotificationsMakeNoTask) {
    ASSERT_EQ(vd().tws_virtual_fault_method(TWS_VIRTUAL_METHOD_SET_NOTIFICATIONS, TWS_VIRTUAL_CAPTURE,
                                            TWS_E_FAIL, 1), 0);
    Format format;
    TaskRefnum refnum = 0;
    EXPECT_EQ(configure(refnum, 1000, format), 4803);
    EXPECT_EQ(refnum, -1);
    tws_virtual_counts counts{};
    vd().tws_virtual_live_counts(&counts);
    EXPECT_EQ(counts.capture_buffers, 0u) << "the failed task released its buffer";
}

}  // namespace
}  // namespace inputtest
