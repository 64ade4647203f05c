// Describes a PCM stream (channels, rate, bit depth) as the format record that
// the sound system and WAV file headers take.
#pragma once

#include <cstdint>

#include "convert/WaveFormatRecord.h"

namespace tw {

class WaveFormat {
public:
    // Bits 0 means 16. Depths other than 8 or 16, and more than two channels,
    // get the extensible record.
    WaveFormat(uint32_t channels, double sampleRate, uint32_t bitsPerSample);
    virtual ~WaveFormat() = default;

    WaveFormat(const WaveFormat&) = default;
    WaveFormat& operator=(const WaveFormat&) = default;

    // The record: a WaveFormatEx, followed by the extensible part when
    // wFormatTag is kWaveFormatExtensible. Lives as long as the descriptor.
    const WaveFormatEx* formatRecord() const { return &mRecord.Format; }
    const WaveFormatExtensible& extensibleRecord() const { return mRecord; }
    bool isExtensible() const { return mRecord.Format.wFormatTag == kWaveFormatExtensible; }

    uint32_t channels() const { return mChannels; }
    uint32_t validBits() const { return mValidBits; }
    uint32_t containerBits() const { return mContainerBits; }
    double sampleRate() const { return mSampleRate; }

private:
    uint32_t mChannels;
    uint32_t mValidBits;
    uint32_t mContainerBits;
    double mSampleRate;
    WaveFormatExtensible mRecord{};
};

}  // namespace tw
