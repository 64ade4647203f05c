// Host sample types at the device widths, as heard on the device: a one-row
// host array on a stereo device, two samples each.
#include <climits>
#include <cstring>

#include "OutputHarness.h"
#include "host/Samples.h"

namespace outtest {
namespace {

class SampleTypes : public OutputTest {};

struct Case {
    uint16_t type;
    double values[2];  // stored as the host type
    int32_t bits;
    std::vector<uint8_t> expected;  // the two device samples, little-endian
};

testhost::ArrayPtr hostRow(uint16_t type, const double (&values)[2]) {
    return testhost::makeSamples(type, 1, 2, [&](int32_t, int32_t i) { return values[i]; });
}

// Each host type and each width once: the converters' own tests hold every
// pair to the bit; here the type code and width must reach them, and one row
// feed both channels.
const std::vector<Case> kCases = {
    {TW_TYPE_U8, {0x00, 0xFF}, 8, {0x00, 0xFF}},
    {TW_TYPE_U8, {0x00, 0xFF}, 16, {0x00, 0x80, 0x00, 0x7F}},
    {TW_TYPE_I16, {0x1234, -2}, 24, {0x00, 0x34, 0x12, 0x00, 0xFE, 0xFF}},
    {TW_TYPE_I32, {0x12345678, -1}, 8, {0x92, 0x7F}},
    {TW_TYPE_F32, {0.5, -1.0}, 32, {0xFF, 0xFF, 0xFF, 0x3F, 0x01, 0x00, 0x00, 0x80}},
    {TW_TYPE_F64, {0.5, -1.0}, 16, {0xFF, 0x3F, 0x01, 0x80}},
};

TEST_F(SampleTypes, EveryHostTypeAtEveryDeviceWidthOnBothChannels) {
    virtualDriver().tws_virtual_set_speed(4.0);
    for (const Case& c : kCases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + ", " + std::to_string(c.bits) + " bits");
        Task task = configure(64, 8000, 2, c.bits, TW_MODE_ONE_SHOT);
        ASSERT_EQ(task.result, 0);
        EXPECT_EQ(task.bits, c.bits);
        auto row = hostRow(c.type, c.values);
        ASSERT_EQ(library()->SOWrite(task.refnum, row.get(), 1, c.type), 0);
        ASSERT_EQ(library()->SOWait(task.refnum, -1), 0);
        std::vector<uint8_t> tap = heard(task);
        const size_t width = c.bits / 8;
        ASSERT_EQ(tap.size(), 64 * 2 * width);
        for (size_t frame = 0; frame < 2; ++frame)
            for (size_t channel = 0; channel < 2; ++channel)
                EXPECT_TRUE(std::equal(c.expected.begin() + frame * width, c.expected.begin() + (frame + 1) * width,
                                       tap.begin() + (frame * 2 + channel) * width))
                    << "frame " << frame << " channel " << channel;
        const uint8_t silence = width == 1 ? 0x80 : 0x00;
        EXPECT_TRUE(std::all_of(tap.begin() + 4 * width, tap.end(), [&](uint8_t b) { return b == silence; }));
        EXPECT_EQ(library()->SOClear(task.refnum), 0);
    }
}

TEST_F(SampleTypes, ClippedFloatSamplesAreReportedInBothModes) {
    virtualDriver().tws_virtual_set_speed(2.0);
    for (int32_t mode : {TW_MODE_ONE_SHOT, TW_MODE_CONTINUOUS}) {
        Task task = configure(mode == TW_MODE_CONTINUOUS ? 2048 : 64, 8000, 2, 16, mode);
        ASSERT_EQ(task.result, 0);
        auto row = hostRow(TW_TYPE_F64, {1.5, -0.25});
        EXPECT_EQ(library()->SOWrite(task.refnum, row.get(), 1, TW_TYPE_F64), TW_W_CLIPPED);
        ASSERT_EQ(library()->SOWait(task.refnum, -1), 0);
        std::vector<uint8_t> tap = heard(task);
        ASSERT_GE(tap.size(), 8u);
        int16_t first, second;
        std::memcpy(&first, &tap[0], 2);
        std::memcpy(&second, &tap[4], 2);
        EXPECT_EQ(first, 32767);
        EXPECT_EQ(second, -8191);
        if (mode == TW_MODE_CONTINUOUS) {
            // The stream ran out; a write that reports clipping leaves that
            // news to the next one.
            EXPECT_EQ(library()->SOWrite(task.refnum, row.get(), 1, TW_TYPE_F64), TW_W_CLIPPED);
            auto clean = hostRow(TW_TYPE_F64, {0.5, -0.5});
            EXPECT_EQ(library()->SOWrite(task.refnum, clean.get(), 1, TW_TYPE_F64), TW_W_PLAYBACK_ENDED);
        }
        EXPECT_EQ(library()->SOClear(task.refnum), 0);
    }
}

// A type without a converter and arrays no host block can hold are refused
// unread, empty arrays are taken; none of them starts the buffer.
TEST_F(SampleTypes, UnusableAndEmptyArraysLeaveTheTaskAlone) {
    // Dimensions that describe more than an int32-sized block, over 16 bytes.
    struct Shape {
        int32_t rows, cols;
        uint16_t type;
    };
    const Shape shapes[] = {{2147483644, 894740525, TW_TYPE_F32},
                            {1, INT32_MAX, TW_TYPE_I16},
                            {65536, 65536, TW_TYPE_U8},
                            {2, 0x10000000, TW_TYPE_F64}};
    Task oneShot = configure(64, 8000, 2, 16, TW_MODE_ONE_SHOT);
    Task continuous = configure(2048, 8000, 2, 16, TW_MODE_CONTINUOUS);
    ASSERT_EQ(oneShot.result, 0);
    ASSERT_EQ(continuous.result, 0);
    auto path = testhost::makeString(testhost::scratchDir() + "/unholdable.wav");
    TaskRefnum file = -1;
    ASSERT_EQ(library()->SoundWriteFileOpen(path.get(), &file, 8000, 2, 16), 0);
    auto unsigned16 = testhost::makeArray2D(TW_TYPE_U16, 2, 100);
    auto empty = testhost::makeArray2D(TW_TYPE_I16, 2, 0);
    for (const Task& t : {oneShot, continuous}) {
        EXPECT_EQ(library()->SOWrite(t.refnum, unsigned16.get(), 1, TW_TYPE_U16), TW_E_GENERIC);
        EXPECT_EQ(library()->SOWrite(t.refnum, empty.get(), 1, TW_TYPE_I16), 0);
        EXPECT_EQ(library()->SOWrite(t.refnum, nullptr, 1, TW_TYPE_I16), 0);
    }
    for (const Shape& s : shapes) {
        SCOPED_TRACE(std::to_string(s.rows) + " x " + std::to_string(s.cols));
        testhost::ArrayPtr array(reinterpret_cast<TwArray**>(testhost::newHandle(16)));
        (*array)->dims[0] = s.rows;
        std::memcpy(reinterpret_cast<uint8_t*>(*array) + 4, &s.cols, 4);
        EXPECT_EQ(library()->SOWrite(oneShot.refnum, array.get(), 1, s.type), TW_E_ARGUMENT);
        EXPECT_EQ(library()->SOWrite(continuous.refnum, array.get(), 1, s.type), TW_E_ARGUMENT);
        int32_t written = -1;
        EXPECT_EQ(library()->SoundWriteFileData(file, array.get(), &written, s.type), TW_E_ARGUMENT);
        EXPECT_EQ(written, 0);
    }
    EXPECT_FALSE(running(oneShot.refnum));
    EXPECT_FALSE(running(continuous.refnum));
    auto ramp = rampBlock(0, 100);
    EXPECT_EQ(library()->SOWrite(continuous.refnum, ramp.get(), 1, TW_TYPE_I16), 0) << "the task goes on";
    int32_t total = -1;
    EXPECT_EQ(library()->SoundWriteFileSamplesWritten(file, &total), 0);
    EXPECT_EQ(total, 0);
    EXPECT_EQ(library()->SoundFileClose(file), 0);
    EXPECT_EQ(library()->SOClear(oneShot.refnum), 0);
    EXPECT_EQ(library()->SOClear(continuous.refnum), 0);
}

}  // namespace
}  // namespace outtest
