// A capture task: one capture buffer on one capture device, started when the
// task is configured, and the engine that moves the captured sound into the
// host's arrays (read on the host's thread, NotificationProc on the task's
// worker, readCaptured as the pass both run).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "convert/HostDataBlock.h"
#include "core/InputConfiguration.h"
#include "platform/Event.h"
#include "platform/MessageQueue.h"
#include "platform/Semaphore.h"
#include "platform/Thread.h"
#include "tonewell_sound.h"

namespace tw {

class SoundDevice;
class QuarterCounter;

class InputConfigurationData : public InputConfiguration {
public:
    InputConfigurationData(SoundDevice* device, int32_t bufferSamples, double* sampleRate,
                           uint32_t* channels, uint32_t* bitsPerSample, int32_t mode);
    ~InputConfigurationData() override;

    int32_t getFormat(double* sampleRate, int32_t* channels, int32_t* bitsPerSample,
                      uint16_t* typeCode) override;
    int32_t getConfigureStatus() override { return mError.load(); }
    int32_t shutdown() override;
    int32_t getStateDesc(char* text) override;
    int32_t isRunning() override;
    int32_t getModeFlag() override { return static_cast<int32_t>(mContinuous); }

    int32_t read(TwArrayHandle data, int32_t samplesToRead, double timeoutSeconds,
                 uint16_t typeCode) override;
    int32_t getTotalSamplesRead() override { return static_cast<int32_t>(mTotalSamplesRead.load()); }
    int32_t stop() override;
    int32_t start() override;

    virtual int32_t configure(SoundDevice* device, int32_t bufferSamples, double* sampleRate,
                              uint32_t* channels, uint32_t* bitsPerSample, int32_t mode);
    virtual int32_t createCaptureBuffer(const tws_capture_buffer_desc& description);

    // One capture pass; with takeMutex it takes mhBufferMutex (10 ms at most).
    int32_t readCaptured(bool takeMutex);

private:
    int32_t setNotifications();
    uint32_t NotificationProc();
    void onQuarterNotification(QuarterCounter& counter);
    int32_t capturePass(uint32_t& framesMoved);
    uint32_t bytesToCopy(uint32_t readPosition, bool ringFilled) const;
    int32_t copyFromRing(uint32_t bytes, uint32_t& framesMoved);
    int32_t attachArray(TwArrayHandle data, int32_t samples, uint16_t typeCode);
    void endRead();
    void failCapture(int32_t code);
    bool capturingLocked();
    uint32_t startTimeLimitMs() const;

    tws_capture* mDirectSoundCapture = nullptr;
    tws_capture_buffer* mBuffer = nullptr;
    uint32_t mChannels = 0;
    uint32_t mBitsPerSample = 0;
    uint32_t mSampleBytes = 0;  // container bytes of one sample in the ring
    double mSampleRate = 0.0;
    uint32_t mContinuous = 0;
    uint32_t mBufferBytes = 0;
    int64_t mBytesFree = 0;  // 64 bits: it keeps falling while nobody reads
    std::atomic<int32_t> mError{0};
    HostDataBlock mVantorData;
    uint32_t mBufferRead = 0;
    uint64_t mBytesCopied = 0;  // since the capture started; tells a full ring from an empty one
    std::atomic<uint32_t> mTotalSamplesRead{0};
    platform::Semaphore mhFinishedWithData{0, 1};
    platform::Semaphore mhReadGate{1, 1};
    platform::Semaphore mhBufferMutex{1, 1};
    platform::Event mhNotifyEvent{false, false};
    platform::Event mhStopEvent{false, false};
    std::unique_ptr<tws_position_notify[]> mNotifyPositions;
    platform::Semaphore mhThreadStarted{0, 1};
    std::unique_ptr<platform::Thread> mhThread;
    platform::ThreadId mThreadId = 0;

    // The run: started once, ended by a stop, the end of a one-shot ring or
    // an overrun; a capture that ended is never started again.
    std::atomic<bool> mHasCaptured{false};
    std::atomic<bool> mStopRequested{false};
    // A read has its array attached (under mhBufferMutex): even one of 0
    // samples, which is complete from the start, waits until it is let go.
    bool mReadWaiting = false;
    uint32_t mPositionFailures = 0;  // worker only
    // Shared by every call into the capture buffer, exclusive while shutdown
    // releases it: the host's clean-up may run beside its other calls.
    std::shared_mutex mDeviceLock;
    std::mutex mShutdownLock;
};

}  // namespace tw
