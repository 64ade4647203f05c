// The MIDI task: plays one sound file once through the music engine and is
// driven by the output-task exports like an output task. It has no thread
// and no lock of its own; its operations poll on the calling thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "core/OutputConfiguration.h"

namespace tw {

class SoundDevice;
class LoadedSegment;

class DM : public OutputConfiguration {
public:
    // Configures at once; the outcome is getConfigureStatus.
    DM(SoundDevice* device, const char* path);
    ~DM() override;

    int32_t getFormat(double* sampleRate, int32_t* channels, int32_t* bitsPerSample, uint16_t* typeCode) override;
    int32_t getConfigureStatus() override { return configureStatus_; }
    int32_t shutdown() override;
    int32_t getStateDesc(char* text) override;
    int32_t isRunning() override;
    int32_t getModeFlag() override { return 0; }

    int32_t write(TwArrayHandle data, double timeoutSeconds, uint16_t typeCode) override;
    int32_t wait(double timeoutSeconds) override;
    int32_t stop() override;
    int32_t start() override;
    int32_t pause() override;
    int32_t setVolume(int32_t volume) override;
    int32_t getVolume(int32_t* volume) override;

    virtual int32_t configure(SoundDevice* device, const char* path);

    // Master gain in hundredths of a decibel for a volume of 0..100.
    static int32_t gainFor(int32_t volume);

private:
    // The segment, or null once shut down. A caller keeps what it got alive
    // even when host clean-up shuts the task down meanwhile.
    std::shared_ptr<LoadedSegment> segment();

    std::mutex segmentMutex_;
    std::shared_ptr<LoadedSegment> segment_;
    std::atomic<int32_t> volume_{0};
    int32_t configureStatus_ = 0;
};

}  // namespace tw
