// The host data block against the test host: counting frames, resizing and
// shrinking host arrays, and what reaches the host when something fails.
// (Captured frames in every host type from every device width are the input
// tests' data path.)
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "convert/HostDataBlock.h"
#include "host/TestHost.h"

namespace {

using testhost::get2D;
using testhost::set2D;
using tw::HostDataBlock;

TwArrayHandle h(const testhost::ArrayPtr& a) { return a.get(); }

// Rows, columns and block bytes of a host array.
std::tuple<int32_t, int32_t, size_t> shape(TwArrayHandle a) {
    return {testhost::rows(a), testhost::cols(a), testhost::blockSize(a)};
}

TEST(HostDataBlock, ArrayWithoutColumnsIsCompleteAndHasNoSamples) {
    auto array = testhost::makeArray2D(TW_TYPE_I16, 2, 0);
    HostDataBlock block(h(array), TW_TYPE_I16, 2, 0);
    EXPECT_TRUE(block.isComplete());
    EXPECT_FALSE(tw::hasData(h(array)));
    std::vector<uint8_t> device(16, 0xEE);
    uint32_t frames = 99;
    EXPECT_EQ(block.copyToDevice(device.data(), 16, frames), 0);
    EXPECT_EQ(frames, 0u);
    frames = 99;
    EXPECT_EQ(block.copyFromDevice(device.data(), 16, frames), TW_E_NO_SAMPLES);
    EXPECT_EQ(frames, 99u);
    EXPECT_EQ(device, std::vector<uint8_t>(16, 0xEE));

    auto corrupt = testhost::makeArray2D(TW_TYPE_I16, 1, 4);
    reinterpret_cast<int32_t*>(*h(corrupt))[1] = -4;  // a negative dimension counts as empty
    HostDataBlock negative(h(corrupt), TW_TYPE_I16, 1, 0);
    EXPECT_EQ(negative.sampleCount(), 0u);
    EXPECT_TRUE(negative.isComplete());
}

TEST(HostDataBlock, CopiesWholeFramesAndCountsThem) {
    auto array = testhost::makeArray2D(TW_TYPE_I16, 2, 5);
    for (int c = 0; c < 5; ++c) {
        set2D<int16_t>(h(array), 0, c, static_cast<int16_t>(100 + c));
        set2D<int16_t>(h(array), 1, c, static_cast<int16_t>(200 + c));
    }
    HostDataBlock block(h(array), TW_TYPE_I16, 2, 0);
    EXPECT_TRUE(tw::hasData(h(array)));
    EXPECT_EQ(block.frameBytes(), 4u);
    std::vector<int16_t> device(6, -1);
    uint32_t frames = 0;
    // 10 bytes hold two whole frames; the tail is not touched.
    EXPECT_EQ(block.copyToDevice(reinterpret_cast<uint8_t*>(device.data()), 10, frames), 0);
    EXPECT_EQ(frames, 2u);
    EXPECT_EQ(block.progress(), 2u);
    EXPECT_EQ(device, (std::vector<int16_t>{100, 200, 101, 201, -1, -1}));
    EXPECT_EQ(block.bytesRemaining(), 12u);
    EXPECT_EQ(block.copyToDevice(reinterpret_cast<uint8_t*>(device.data()), 12, frames), 0);
    EXPECT_EQ(device, (std::vector<int16_t>{102, 202, 103, 203, 104, 204}));
    EXPECT_TRUE(block.isComplete());
    EXPECT_EQ(block.copyToDevice(reinterpret_cast<uint8_t*>(device.data()), 12, frames), 0);
    EXPECT_EQ(frames, 0u);
}

TEST(HostDataBlock, ClippedOrUnconvertibleCopiesStillAdvance) {
    auto floats = testhost::makeArray2D(TW_TYPE_F64, 1, 4);
    set2D<double>(h(floats), 0, 1, 3.0);
    HostDataBlock block(h(floats), TW_TYPE_F64, 1, 2);
    std::vector<uint8_t> device(8);
    uint32_t frames = 0;
    EXPECT_EQ(block.copyToDevice(device.data(), 8, frames), TW_W_CLIPPED);
    EXPECT_EQ(block.progress(), 4u);

    // Type code 7 (unsigned 32-bit) sizes as 4 bytes but has no converter.
    auto words = testhost::makeArray2D(7, 1, 4);
    HostDataBlock unconvertible(h(words), 7, 1, 0);
    EXPECT_EQ(unconvertible.bytesPerSample(), 4u);
    EXPECT_EQ(unconvertible.copyToDevice(device.data(), 8, frames), TW_E_GENERIC);
    EXPECT_EQ(frames, 2u);
    EXPECT_EQ(unconvertible.progress(), 2u);
    EXPECT_EQ(HostDataBlock(nullptr, 0, 1, 0).bytesPerSample(), 2u);
}

TEST(HostDataBlock, AttachAndResizeShapesTheArray) {
    auto array = testhost::makeArray2D(TW_TYPE_F32, 1, 1);
    HostDataBlock block(nullptr, TW_TYPE_I16, 2, 0);
    EXPECT_EQ(block.attachAndResize(nullptr, TW_TYPE_F32, 10), TW_E_GENERIC);
    EXPECT_EQ(block.attachAndResize(h(array), TW_TYPE_F32, 10), 0);
    EXPECT_EQ(shape(h(array)), std::tuple(2, 10, size_t{8 + 2 * 10 * 4}));
    EXPECT_EQ(block.sampleCount(), 10u);

    // A host failure leaves the dimensions read at attach.
    auto other = testhost::makeArray2D(TW_TYPE_F32, 1, 3);
    testhost::failNextResizes(1, 2);
    EXPECT_EQ(block.attachAndResize(h(other), TW_TYPE_F32, 10), 2);
    EXPECT_EQ(block.sampleCount(), 3u);

    // Sizes beyond the host's int32 are refused without asking the host.
    const int calls = testhost::resizeCalls();
    EXPECT_EQ(block.attachAndResize(h(other), TW_TYPE_F32, 0x7FFFFFFF), TW_E_NO_MEMORY);
    EXPECT_EQ(block.attachAndResize(h(other), TW_TYPE_F32, 0x80000000u), TW_E_NO_MEMORY);
    EXPECT_EQ(testhost::resizeCalls(), calls);
    EXPECT_EQ(shape(h(other)), std::tuple(1, 3, size_t{8 + 3 * 4}));

    // The reader's constructor resizes at once and keeps the result.
    HostDataBlock reader(h(other), TW_TYPE_I16, 3, 7, 2);
    EXPECT_EQ(reader.resizeResult(), 0);
    EXPECT_EQ(shape(h(other)), std::tuple(3, 7, size_t{8 + 3 * 7 * 2}));
}

TEST(HostDataBlock, FinishShrinksToTheColumnsFilled) {
    auto array = testhost::makeArray2D(TW_TYPE_I16, 2, 1000);
    HostDataBlock block(h(array), TW_TYPE_I16, 2, 0);
    std::vector<uint8_t> device(100 * 4);
    uint32_t frames = 0;
    ASSERT_EQ(block.copyFromDevice(device.data(), 400, frames), 0);  // zeros over columns 0..99
    for (int c = 0; c < 100; ++c) set2D<int16_t>(h(array), 1, c, static_cast<int16_t>(-c - 1));
    EXPECT_EQ(block.finish(), 0);
    EXPECT_EQ(shape(h(array)), std::tuple(2, 100, size_t{8 + 400}));
    for (int c = 0; c < 100; ++c) ASSERT_EQ(get2D<int16_t>(h(array), 1, c), -c - 1) << c;
    EXPECT_EQ(block.handle(), nullptr);
    EXPECT_EQ(block.finish(), TW_E_ARGUMENT);
}

TEST(HostDataBlock, FinishOnACompleteArrayKeepsItAndPassesHostFailures) {
    auto array = testhost::makeArray2D(TW_TYPE_U8, 2, 3);
    HostDataBlock block(h(array), TW_TYPE_U8, 2, 0);
    std::vector<uint8_t> device(6, 128);
    uint32_t frames = 0;
    ASSERT_EQ(block.copyFromDevice(device.data(), 6, frames), 0);
    set2D<uint8_t>(h(array), 1, 2, 77);
    EXPECT_EQ(block.finish(), 0);
    EXPECT_EQ(shape(h(array)), std::tuple(2, 3, size_t{8 + 6}));
    EXPECT_EQ(get2D<uint8_t>(h(array), 1, 2), 77);

    block.attach(h(array), TW_TYPE_U8);
    testhost::failNextResizes(1, 2);
    EXPECT_EQ(block.finish(), 2);
    EXPECT_EQ(block.handle(), nullptr);
    EXPECT_EQ(testhost::cols(h(array)), 0);
}

}  // namespace
