#include "convert/WaveFormat.h"

#include <cmath>

namespace tw {

namespace {

// Truncates toward zero to 64 bits and keeps the low 32. Values without a
// 64-bit result (NaN, beyond +-2^63) give 0 instead of undefined behaviour.
uint32_t low32OfTruncated(double value) {
    if (!(std::fabs(value) < 9223372036854775808.0)) return 0;
    return static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(value)));
}

}  // namespace

WaveFormat::WaveFormat(uint32_t channels, double sampleRate, uint32_t bitsPerSample)
    : mChannels(channels),
      mValidBits(bitsPerSample == 0 ? 16 : bitsPerSample),
      mContainerBits(static_cast<uint32_t>((uint64_t{mValidBits} + 7) / 8 * 8)),
      mSampleRate(sampleRate) {
    WaveFormatEx& f = mRecord.Format;
    f.nChannels = static_cast<uint16_t>(channels);
    f.nSamplesPerSec = low32OfTruncated(sampleRate);
    f.wBitsPerSample = static_cast<uint16_t>(mContainerBits);
    f.nBlockAlign = static_cast<uint16_t>(uint64_t{channels} * mContainerBits / 8);
    f.nAvgBytesPerSec =
        low32OfTruncated(static_cast<double>(channels) * sampleRate * static_cast<double>(mContainerBits)) >> 3;
    if (channels <= 2 && (mValidBits == 8 || mValidBits == 16)) {
        f.wFormatTag = kWaveFormatPcm;
        f.cbSize = 0;
    } else {
        f.wFormatTag = kWaveFormatExtensible;
        f.cbSize = kExtensibleExtraBytes;
        mRecord.Samples.wValidBitsPerSample = static_cast<uint16_t>(mValidBits);
        mRecord.dwChannelMask = 0;
        mRecord.SubFormat = kSubtypePcm;
    }
}

}  // namespace tw
