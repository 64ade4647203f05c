#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "convert/WaveFormat.h"

namespace {

using tw::WaveFormat;

TEST(WaveFormat, PlainPcmForEightAndSixteenBitMonoOrStereo) {
    const WaveFormat f(2, 44100.0, 16);
    const tw::WaveFormatEx* r = f.formatRecord();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->wFormatTag, tw::kWaveFormatPcm);
    EXPECT_EQ(r->nChannels, 2);
    EXPECT_EQ(r->nSamplesPerSec, 44100u);
    EXPECT_EQ(r->nAvgBytesPerSec, 176400u);
    EXPECT_EQ(r->nBlockAlign, 4);
    EXPECT_EQ(r->wBitsPerSample, 16);
    EXPECT_EQ(r->cbSize, 0);

    const WaveFormat zeroBits(1, 8000.0, 0);
    EXPECT_EQ(zeroBits.validBits(), 16u);
    EXPECT_EQ(zeroBits.formatRecord()->wFormatTag, tw::kWaveFormatPcm);
    EXPECT_EQ(zeroBits.formatRecord()->wBitsPerSample, 16);
    EXPECT_EQ(zeroBits.formatRecord()->nAvgBytesPerSec, 16000u);

    EXPECT_EQ(WaveFormat(1, 44100.7, 8).formatRecord()->nSamplesPerSec, 44100u);
}

TEST(WaveFormat, ExtensibleForWideOddOrManyChannels) {
    const WaveFormat f(2, 48000.0, 24);
    const auto& x = f.extensibleRecord();
    EXPECT_EQ(x.Format.wFormatTag, tw::kWaveFormatExtensible);
    EXPECT_EQ(x.Format.cbSize, 22);
    EXPECT_EQ(x.Format.wBitsPerSample, 24);
    EXPECT_EQ(x.Samples.wValidBitsPerSample, 24);
    EXPECT_EQ(x.Format.nBlockAlign, 6);
    EXPECT_EQ(x.Format.nAvgBytesPerSec, 288000u);
    EXPECT_EQ(x.dwChannelMask, 0u);
    EXPECT_EQ(std::memcmp(&x.SubFormat, &tw::kSubtypePcm, sizeof x.SubFormat), 0);
    // The GUID's bytes as stored in a file header.
    const uint8_t pcm[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
    EXPECT_EQ(std::memcmp(&x.SubFormat, pcm, 16), 0);

    const WaveFormat twelve(1, 22050.0, 12);
    EXPECT_EQ(twelve.containerBits(), 16u);
    EXPECT_EQ(twelve.extensibleRecord().Format.wBitsPerSample, 16);
    EXPECT_EQ(twelve.extensibleRecord().Samples.wValidBitsPerSample, 12);
    EXPECT_EQ(twelve.extensibleRecord().Format.nBlockAlign, 2);

    EXPECT_TRUE(WaveFormat(6, 48000.0, 16).isExtensible());
    EXPECT_FALSE(WaveFormat(2, 48000.0, 8).isExtensible());
}

TEST(WaveFormat, RatesWithoutAnIntegerValueGiveZero) {
    EXPECT_EQ(WaveFormat(2, std::nan(""), 16).formatRecord()->nSamplesPerSec, 0u);
    EXPECT_EQ(WaveFormat(2, 1e300, 16).formatRecord()->nAvgBytesPerSec, 0u);
    // Beyond 32 bits the low 32 bits of the 64-bit value are kept.
    EXPECT_EQ(WaveFormat(1, 4294967296.0 + 5.0, 8).formatRecord()->nSamplesPerSec, 5u);
}

}  // namespace
