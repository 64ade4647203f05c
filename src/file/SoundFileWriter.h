// A WAV file opened for writing: sample frames from host arrays appended to
// its data chunk; sizes patched when it is closed.
#pragma once

#include <cstdint>

#include "file/SoundFile.h"
#include "tonewell/tonewell.h"

namespace tw {

class SoundFileWriter : public SoundFile {
public:
    // Creates (or overwrites) the file named by the host string for the
    // given format; status() tells the outcome.
    SoundFileWriter(TwStringHandle path, double sampleRate, int32_t channels, int32_t bitsPerSample);
    ~SoundFileWriter() override;

    int32_t cleanup() override;
    int32_t getKind() override { return kWriter; }
    int32_t checkPath(const char* path) override;

    // Appends the frames of `data` (one row per channel). framesWritten is
    // the frames this call added to the file.
    int32_t write(TwArrayHandle data, uint16_t typeCode, int32_t& framesWritten);

    uint32_t samplesWritten() const { return mSamplesWritten; }

private:
    void open(TwStringHandle path, double sampleRate, int32_t channels, int32_t bitsPerSample);

    uint32_t mSamplesWritten = 0;
};

}  // namespace tw
