#include "InputTestSupport.h"

#include <chrono>

#include "host/Samples.h"

namespace inputtest {

double expectedSample(uint16_t typeCode, int bits, uint64_t frame, int channel) {
    const auto v = static_cast<uint16_t>(frame + 1000u * channel);
    const int32_t full = bits <= 8 ? int32_t{static_cast<int8_t>(v & 0xFF)} * (1 << 24)
                                   : int32_t{static_cast<int16_t>(v)} * (1 << 16);
    const double deviceByte = static_cast<double>((v & 0xFF) ^ 0x80);
    const double unit = bits <= 8 ? deviceByte / 127.5 - 1.0 : full / 2147483648.0;
    switch (typeCode) {
        case TW_TYPE_U8: return static_cast<double>((static_cast<uint32_t>(full) ^ 0x80000000u) >> 24);
        case TW_TYPE_I16: return full >> 16;
        case TW_TYPE_I32: return full;
        case TW_TYPE_F32: return static_cast<float>(unit);
        default: return unit;
    }
}

::testing::AssertionResult holdsFrames(TwArrayHandle array, uint16_t typeCode, int bits, int channels,
                                       uint64_t first) {
    if (testhost::rows(array) != channels)
        return ::testing::AssertionFailure() << "rows " << testhost::rows(array) << ", expected " << channels;
    const int cols = testhost::cols(array);
    for (int col = 0; col < cols; ++col) {
        for (int ch = 0; ch < channels; ++ch) {
            const double want = expectedSample(typeCode, bits, first + col, ch);
            const double got = testhost::sampleAt(array, typeCode, ch, col);
            if (want != got)
                return ::testing::AssertionFailure() << "column " << col << " channel " << ch << ": " << got
                                                     << ", expected " << want << " (frame " << first + col << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

uint64_t firstFrameOf(TwArrayHandle array) {
    return static_cast<uint16_t>(testhost::get2D<int16_t>(array, 0, 0));
}

void InputTest::SetUp() {
    ASSERT_TRUE(vd().loaded());
    ASSERT_TRUE(testhost::library().loaded()) << testhost::library().error();
    vd().tws_virtual_reset();
}

void InputTest::TearDown() {
    for (TaskRefnum refnum : tasks_) api().SIClear(refnum);
    vd().tws_virtual_reset();
}

int32_t InputTest::configure(TaskRefnum& refnum, int32_t frames, Format& format, int32_t mode, int32_t device) {
    refnum = -2;
    int32_t result = api().SIConfigure(device, frames, &format.rate, &format.channels, &format.bits, mode, &refnum);
    if (refnum >= 0) tasks_.push_back(refnum);
    return result;
}

TaskRefnum InputTest::open(int32_t frames, Format format, int32_t mode) {
    TaskRefnum refnum = -1;
    EXPECT_EQ(configure(refnum, frames, format, mode), 0);
    EXPECT_GE(refnum, 0);
    return refnum;
}

Read InputTest::read(TaskRefnum refnum, int32_t samples, double timeoutSeconds, uint16_t typeCode) {
    Read r;
    r.array = testhost::makeArray2D(typeCode, 1, 1);
    r.result = api().SIRead(refnum, r.array.get(), samples, &r.total, timeoutSeconds, typeCode);
    r.rows = testhost::rows(r.array.get());
    r.cols = testhost::cols(r.array.get());
    return r;
}

std::unique_ptr<testhost::CallThread> InputTest::waitingRead(TaskRefnum refnum, int32_t samples, Read& out,
                                                             double timeoutSeconds) {
    const int before = testhost::resizeCalls();
    auto reader =
        std::make_unique<testhost::CallThread>([=, this, &out] { out = read(refnum, samples, timeoutSeconds); });
    while (testhost::resizeCalls() == before) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    // Nothing the first pass does after the attach sleeps (on the manual
    // clock no worker competes): the read sleeps next in its wait.
    testhost::awaitSleeping(reader->id());
    return reader;
}

void InputTest::advance(uint64_t frames) { ASSERT_EQ(vd().tws_virtual_advance(frames), 0); }

}  // namespace inputtest
