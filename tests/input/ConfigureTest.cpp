// Making tasks of either kind and their state queries, and the one capture
// run an input task has.
#include "InputTestSupport.h"

namespace inputtest {
namespace {

class InputConfigure : public InputTest {};

// Tasks of either kind: arguments out of range make none.
TEST_F(InputConfigure, ArgumentsOutOfRangeMakeNoTask) {
    struct Case {
        bool input;
        int32_t frames;
        Format format;
        int32_t device, mode, expected;
    };
    const Case cases[] = {
        {true, 3, {}, 0, 1, 4803},
        {false, 3, {8000.0, 2, 16}, 0, 0, 4803},
        {false, 4, {8000.0, 2, 16}, 0, 0, 0},  // the smallest ring
        {true, 268435456, {}, 0, 1, 4803},
        {true, 0, {}, 0, 1, 4803},
        {true, 1000, {0.0, 2, 16}, 0, 1, 4803},
        {false, 100, {0.0, 2, 16}, 0, 0, 4803},
        {true, 1000, {-1.0, 2, 16}, 0, 1, 4803},
        {true, 1000, {44100.0, 0, 16}, 0, 1, 4803},
        {false, 100, {8000.0, 0, 16}, 0, 0, 4803},
        {true, 1000, {44100.0, 2, 0}, 0, 1, 4803},
        {false, 100, {8000.0, 2, 0}, 0, 0, 4803},
        {true, 1000, {44100.0, 2, 40}, 0, 1, 4811},   // no 40-bit container
        {true, 1000, {200000.0, 2, 16}, 0, 1, 4811},  // beyond the device's rates
        {false, 100, {96000.0, 2, 16}, 1, 0, 4811},   // output device 1 tops out at 48 kHz
        {true, 1000, {}, 2, 1, 4800},                 // no third capture device
        {false, 100, {8000.0, 2, 16}, 99, 0, 4800},
        // More bytes than a ring may hold.
        {true, 0x7FFFFFF, {44100.0, 8, 32}, 0, 1, 4803},
        {false, 0x0FFFFFFF, {8000.0, 2, 32}, 0, 0, 4803},
        // The format record holds 16 bits of each.
        {false, 100, {8000.0, 65537, 16}, 0, 0, 4803},
        {false, 100, {8000.0, 2, 65552}, 0, 1, 4803},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.input ? "input, " : "output, ") << c.frames << " frames, "
                                        << c.format.rate << " Hz, " << c.format.channels << " ch, "
                                        << c.format.bits << " bits, device " << c.device);
        Format f = c.format;
        TaskRefnum refnum = -2;
        EXPECT_EQ((c.input ? api().SIConfigure : api().SOConfigure)(c.device, c.frames, &f.rate, &f.channels,
                                                                    &f.bits, c.mode, &refnum),
                  c.expected);
        EXPECT_TRUE(c.expected == 0 ? refnum >= 0 : refnum == -1) << "refnum " << refnum;
        if (refnum >= 0) {
            EXPECT_EQ((c.input ? api().SIClear : api().SOClear)(refnum), 0);
        }
    }
    for (auto configureTask : {api().SIConfigure, api().SOConfigure}) {
        double rate = 44100.0;
        int32_t channels = 2, bits = 16;
        TaskRefnum refnum = 0;
        EXPECT_EQ(configureTask(0, 1000, &rate, &channels, nullptr, 1, &refnum), TW_E_ARGUMENT);
        EXPECT_EQ(refnum, -1);
        EXPECT_EQ(configureTask(0, 1000, &rate, nullptr, &bits, 1, &refnum), TW_E_ARGUMENT);
        EXPECT_EQ(configureTask(0, 1000, nullptr, &channels, &bits, 1, &refnum), TW_E_ARGUMENT);
    }
}

// Tasks of either kind report the format their buffer plays or captures
// (written back by configure too), the host type of its samples, whether it
// runs (a capture from configuration on) and whether it streams.
TEST_F(InputConfigure, FormatAndStateAreReportedAsConfigured) {
    ASSERT_EQ(vd().tws_virtual_set_manual_clock(1), 0);  // a one-shot capture does not fill up meanwhile
    struct Case {
        bool input;
        int32_t device;
        double rate;
        int32_t channels, bits, mode;
        double reportedRate;
        uint16_t type;
    };
    const Case cases[] = {
        {false, 0, 44100.0, 2, 16, 1, 44100.0, TW_TYPE_I16}, {false, 0, 44100.0, 1, 8, 0, 44100.0, TW_TYPE_U8},
        {false, 0, 44100.0, 6, 24, 2, 44100.0, TW_TYPE_I32}, {false, 0, 44100.0, 2, 32, 1, 44100.0, TW_TYPE_I32},
        {true, 0, 44100.0, 2, 16, 1, 44100.0, TW_TYPE_I16},  {true, 0, 22050.0, 1, 8, 0, 22050.0, TW_TYPE_U8},
        {true, 0, 22050.0, 1, 12, 2, 22050.0, TW_TYPE_I16},  {true, 0, 22050.0, 1, 24, 1, 22050.0, TW_TYPE_I32},
        {true, 0, 22050.0, 1, 32, 1, 22050.0, TW_TYPE_I32},
        {true, 1, 48000.0, 2, 16, 1, 44100.0, TW_TYPE_I16},  // Virtual Input 2 captures at 44100 Hz only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.input ? "input, " : "output, ") << c.rate << " Hz, " << c.channels
                                        << " ch, " << c.bits << " bits, mode " << c.mode);
        double rate = c.rate;
        int32_t channels = c.channels, bits = c.bits;
        TaskRefnum refnum = -1;
        ASSERT_EQ((c.input ? api().SIConfigure : api().SOConfigure)(c.device, 4410, &rate, &channels, &bits,
                                                                    c.mode, &refnum),
                  0);
        EXPECT_EQ(std::tie(rate, channels, bits), std::tie(c.reportedRate, c.channels, c.bits));
        uint8_t input = c.input, isRunning = 7, continuous = 7;
        uint16_t type = 0;
        rate = channels = bits = 0;
        EXPECT_EQ(api().GetConfFormat(refnum, &input, &rate, &channels, &bits, &type), 0);
        EXPECT_EQ(std::tie(rate, channels, bits, type), std::tie(c.reportedRate, c.channels, c.bits, c.type));
        EXPECT_EQ(api().GetConfState(refnum, &input, &isRunning, &continuous), 0);
        EXPECT_EQ(isRunning, c.input ? 1 : 0);
        EXPECT_EQ(continuous, c.mode == 1 ? 1 : 0);
        auto text = testhost::makeString("");
        EXPECT_EQ(api().GetStateDesc(refnum, &input, text.get()), 0);
        EXPECT_EQ(testhost::readString(text.get()), c.input ? "InputData " : "isRunning= F");
        EXPECT_EQ((c.input ? api().SIClear : api().SOClear)(refnum), 0);
    }
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

// A buffer that never reports capturing after its start: start says so. One
// run per task: once stopped it never starts again, and a second stop is
// harmless.
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
    EXPECT_EQ(api().SIStop(refnum), 0);
    EXPECT_EQ(api().SIStart(refnum), 4823);
    EXPECT_EQ(read(refnum, 16).result, 4823);
    EXPECT_EQ(api().SIStop(refnum), 0);
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
