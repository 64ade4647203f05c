// Known values of the sample converters: full-scale integer conversions,
// float scaling and clipping, and refused jobs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "ReferenceConverter.h"
#include "convert/SampleConverter.h"
#include "tonewell/tonewell.h"

namespace {

using tw::ConversionJob;
using tw::ConvertDirection;
using Bytes = std::vector<uint8_t>;
using reference::job;

// One host sample to one device sample, with the status expected.
template <class H>
Bytes toDevice(uint16_t type, H value, uint32_t width, int32_t status = 0) {
    Bytes device(width, 0xEE);
    EXPECT_EQ(tw::convertBlock(job(type, width, 1, &value, 1, 1, device, ConvertDirection::HostToDevice)), status)
        << value;
    return device;
}

template <class H>
H fromDevice(uint16_t type, Bytes device, uint32_t width) {
    H value{};
    EXPECT_EQ(tw::convertBlock(job(type, width, 1, &value, 1, 1, device, ConvertDirection::DeviceToHost)), 0);
    return value;
}

Bytes le(int64_t v, int width) {
    Bytes b(width);
    for (int i = 0; i < width; ++i) b[i] = static_cast<uint8_t>(static_cast<uint64_t>(v) >> (8 * i));
    return b;
}

TEST(SampleConverter, IntegerSamplesGoThroughFullScale) {
    EXPECT_EQ(toDevice<int16_t>(TW_TYPE_I16, 0x1234, 1), Bytes{0x92});
    EXPECT_EQ(toDevice<int16_t>(TW_TYPE_I16, 0x1234, 3), (Bytes{0x00, 0x34, 0x12}));
    EXPECT_EQ(toDevice<int16_t>(TW_TYPE_I16, 0x1234, 4), le(0x12340000, 4));
    EXPECT_EQ(toDevice<uint8_t>(TW_TYPE_U8, 0x00, 2), le(-32768, 2));
    EXPECT_EQ(toDevice<uint8_t>(TW_TYPE_U8, 0xFF, 2), le(0x7F00, 2));
    EXPECT_EQ(toDevice<int32_t>(TW_TYPE_I32, 0x12345678, 2), le(0x1234, 2));
    EXPECT_EQ(toDevice<int32_t>(TW_TYPE_I32, 0x12345678, 3), (Bytes{0x56, 0x34, 0x12}));
    EXPECT_EQ(toDevice<int32_t>(TW_TYPE_I32, -1, 1), Bytes{0x7F});  // low bits dropped, not rounded
    EXPECT_EQ(fromDevice<uint8_t>(TW_TYPE_U8, le(-32768, 2), 2), 0x00);
    EXPECT_EQ(fromDevice<int32_t>(TW_TYPE_I32, {0x00, 0x00, 0x80}, 3), INT32_MIN);
    EXPECT_EQ(fromDevice<int16_t>(TW_TYPE_I16, {0xFF}, 1), 0x7F00);
}

TEST(SampleConverter, FloatSamplesScaleAndClip) {
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, 0.5, 2), le(16383, 2));
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, 0.5, 1), Bytes{191});
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, -1.0, 1), Bytes{0});
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, 0.0, 1), Bytes{127});
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, 1.0, 1), Bytes{255});
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, -1.0, 2), le(-32767, 2));
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, 1.0, 3), (Bytes{0xFF, 0xFF, 0x7F}));
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, -1.0, 3), (Bytes{0x01, 0x00, 0x80}));
    EXPECT_EQ(toDevice<float>(TW_TYPE_F32, -1.0f, 4), le(-2147483647, 4));
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, 1.5, 2, TW_W_CLIPPED), le(32767, 2));
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, -1.0000001, 4, TW_W_CLIPPED), le(-2147483647, 4));
    EXPECT_EQ(toDevice<float>(TW_TYPE_F32, -INFINITY, 1, TW_W_CLIPPED), Bytes{0});
    // NaN is played as silence, without the warning.
    EXPECT_EQ(toDevice<double>(TW_TYPE_F64, NAN, 2), le(0, 2));
    EXPECT_EQ(toDevice<float>(TW_TYPE_F32, NAN, 1), Bytes{127});

    EXPECT_EQ(fromDevice<double>(TW_TYPE_F64, le(-32768, 2), 2), -1.0);
    EXPECT_EQ(fromDevice<float>(TW_TYPE_F32, le(16384, 2), 2), 0.5f);
    EXPECT_EQ(fromDevice<double>(TW_TYPE_F64, {0x00, 0x00, 0x80}, 3), -1.0);
    EXPECT_EQ(fromDevice<double>(TW_TYPE_F64, {0xFF, 0xFF, 0x7F}, 3), 8388607.0 / 8388608.0);
    EXPECT_EQ(fromDevice<double>(TW_TYPE_F64, {0}, 1), -1.0);
    EXPECT_EQ(fromDevice<double>(TW_TYPE_F64, {255}, 1), 1.0);
    EXPECT_EQ(fromDevice<double>(TW_TYPE_F64, {128}, 1), 128 / 127.5 - 1.0);
}

TEST(SampleConverter, RefusedJobsWriteNothing) {
    uint16_t host[4] = {1, 2, 3, 4};
    Bytes device(16, 0xEE);
    const Bytes untouched = device;
    // Unsigned 16-bit has no converter; neither has a 5-byte or 0-byte width.
    EXPECT_EQ(tw::convertBlock(job(TW_TYPE_U16, 2, 1, host, 1, 4, device, ConvertDirection::HostToDevice)), 42);
    EXPECT_EQ(tw::convertBlock(job(TW_TYPE_I16, 5, 1, host, 1, 2, device, ConvertDirection::HostToDevice)), 42);
    EXPECT_EQ(tw::convertBlock(job(TW_TYPE_I16, 0, 1, host, 1, 4, device, ConvertDirection::DeviceToHost)), 42);
    // Jobs that would reach past their array or bytes.
    auto tooManyFrames = job(TW_TYPE_I16, 2, 1, host, 1, 4, device, ConvertDirection::HostToDevice);
    tooManyFrames.start = 1;
    EXPECT_EQ(tw::convertBlock(tooManyFrames), 42);
    auto shortDevice = job(TW_TYPE_I16, 4, 2, host, 2, 2, device, ConvertDirection::HostToDevice);
    shortDevice.deviceBytes = 15;
    EXPECT_EQ(tw::convertBlock(shortDevice), 42);
    EXPECT_EQ(tw::convertBlock(job(TW_TYPE_I16, 2, 2, host, 0, 4, device, ConvertDirection::HostToDevice)), 42);
    EXPECT_EQ(device, untouched);
    EXPECT_EQ(std::vector<uint16_t>(host, host + 4), (std::vector<uint16_t>{1, 2, 3, 4}));
}

}  // namespace
