// A WAV file opened for reading: its format, length and reading position,
// and reads of sample frames into host arrays.
#pragma once

#include <cstdint>

#include "file/SoundFile.h"
#include "tonewell/tonewell.h"

namespace tw {

class SoundFileReader : public SoundFile {
public:
    // Opens the file named by the host string; status() tells the outcome.
    explicit SoundFileReader(TwStringHandle path);
    ~SoundFileReader() override;

    int32_t cleanup() override;
    int32_t getKind() override { return kReader; }
    int32_t isReady() override { return mStatus == 0 ? 1 : 0; }
    int32_t seek(int32_t mode, int32_t sampleOffset) override;
    int32_t checkPath(const char* path) override;

    // Reads `count` frames (all that are left when negative) from the
    // current position into `data`, sized to channels x the frames read.
    // `atEnd` tells whether the data was used up; it is false on errors.
    int32_t read(int32_t count, uint16_t typeCode, TwArrayHandle data, int32_t& framesRead, bool& atEnd);

    double durationSeconds() const { return mDurationSeconds; }
    uint32_t totalSamples() const { return mTotalSamples; }
    uint32_t samplesRead() const { return mSamplesRead; }

private:
    void open(TwStringHandle path);
    // 0 for integer samples, with `isFloat` for 32-bit float ones, or 4811.
    int32_t sampleFormat(bool& isFloat) const;

    double mDurationSeconds = 0.0;
    uint32_t mTotalSamples = 0;
    uint32_t mSamplesRead = 0;
};

}  // namespace tw
