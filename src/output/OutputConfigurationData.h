// An output task: plays host sample blocks through its own sound object and
// one sound buffer used as a ring. One-shot mode writes each block straight
// into the ring, which plays once. Continuous mode loops the ring: a write
// puts in what fits and waits until a worker thread, woken at each quarter
// the play cursor passes, has written the rest.
//
// Locks, always taken in this order: mhWriteGate (one write at a time),
// mhBufferMutex (ring state, the host block, the write hand-off), mDeviceLock
// (shared by every call on the sound buffer, exclusive only while shutdown
// releases it). Nothing waits for mhBufferMutex while holding mDeviceLock.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <shared_mutex>

#include "convert/HostDataBlock.h"
#include "core/OutputConfiguration.h"
#include "output/RingGeometry.h"
#include "platform/Event.h"
#include "platform/Semaphore.h"
#include "platform/Thread.h"
#include "tonewell_sound.h"

namespace tw {

class SoundDevice;

class OutputConfigurationData : public OutputConfiguration {
public:
    OutputConfigurationData(SoundDevice* device, int32_t bufferSamples, double* sampleRate, uint32_t* channels,
                            uint32_t* bitsPerSample, int32_t mode);
    ~OutputConfigurationData() override;

    int32_t getFormat(double* sampleRate, int32_t* channels, int32_t* bitsPerSample, uint16_t* typeCode) override;
    int32_t getConfigureStatus() override { return mError.load(); }
    int32_t shutdown() override;
    int32_t getStateDesc(char* text) override;
    int32_t isRunning() override;
    int32_t getModeFlag() override { return mContinuous ? 1 : 0; }

    int32_t write(TwArrayHandle data, double timeoutSeconds, uint16_t typeCode) override;
    int32_t wait(double timeoutSeconds) override;
    int32_t stop() override;
    int32_t start() override;
    int32_t pause() override;
    int32_t setVolume(int32_t volume) override;
    int32_t getVolume(int32_t* volume) override;

    virtual int32_t configure(SoundDevice* device, int32_t bufferSamples, double* sampleRate, uint32_t* channels,
                              uint32_t* bitsPerSample, int32_t mode);

    // Returns of the worker's wait so far, so that its sleep can be checked
    // from outside: one per quarter while streaming (and one when a write
    // finds the ring stopped), none while idle.
    uint64_t wakeups() const { return mWakeups.load(std::memory_order_relaxed); }

private:
    // Configuration (OutputConfigurationData.cpp).
    int32_t createBuffer(const tws_buffer_desc& desc);
    void readBufferFormat();
    int32_t startWorker();

    // Sound buffer calls; the caller holds mDeviceLock and mBuffer is set.
    bool playing();
    bool lost();
    int32_t play();
    int32_t halt();
    int32_t rewind();

    // Control (OutputControl.cpp).
    int32_t registerWaitCleanup();
    static int32_t waitCleanupProc(void* task);

    // Streaming (OutputStreaming.cpp). Callers hold mhBufferMutex and mDeviceLock.
    int32_t writeChunk();
    void placeData(uint8_t* ring, uint32_t gap);
    int32_t copyData(uint8_t* ring, uint32_t bytes);
    void oweSilence();
    void writeOwedSilence(uint8_t* ring);
    void fill(uint8_t* ring, uint32_t offset, uint32_t count);
    // Where data may go now: how far mWritePos must move ahead (0: not late).
    uint32_t lateGap();
    // Ends the wait of the write whose block is attached, with `outcome`.
    void releaseWriter(int32_t outcome);
    // The buffer stopped under a waiting write: its block is dropped (4821
    // unless it was already all in the ring).
    void abortWriter();
    // Stops and rewinds the buffer and resets the ring state (stop without the mutex).
    int32_t stopHeld();
    // A chunk failed: the task fails, its buffer stops, and a waiting write
    // ends with the code.
    void failStream(int32_t status);

    // Worker thread (OutputWorker.cpp).
    int32_t setNotifications();
    uint32_t NotificationProc();
    void onNotification();
    void onMoreData();
    uint32_t quartersPassed(uint32_t playPos);
    int32_t restoreBuffer();
    // Restores a lost buffer; true when it stays lost.
    bool restoreLost();
    void endOfPlayback();

    tws_sound* mDirectSound = nullptr;
    tws_buffer* mBuffer = nullptr;
    uint32_t mChannels = 0;
    uint32_t mBufferSamples = 0;
    uint32_t mBitsPerSample = 0;
    double mSampleRate = 0;
    bool mContinuous = false;
    uint32_t mBufferBytes = 0;
    // Bytes written (data, and silence placed ahead of late data) from the start of
    // the quarter the play cursor was last seen in, up to mWritePos.
    int32_t mNumBytesInBufferToPlay = 0;
    std::atomic<int32_t> mError{0};
    HostDataBlock mVantorData;
    // Until the first write. Its block owes silence like every other: one
    // longer than the ring would otherwise end on its own earlier samples.
    bool mFirstWrite = false;
    uint32_t mWritePos = 0;
    uint32_t mSilenceToWrite = 0;
    uint32_t mSilenceWritten = 0;
    platform::Semaphore mhWriteGate{1, 1};
    platform::Semaphore mhFinishedWithData{0, 1};
    platform::Semaphore mhBufferMutex{1, 1};
    std::unique_ptr<platform::Thread> mhThread;
    platform::ThreadId mThreadId = 0;
    platform::Event mhNotifyEvent{false, false};
    std::array<tws_position_notify, 4> mNotifyPositions{};
    bool mNotificationsSet = false;
    platform::Event mhMoreDataEvent{false, false};
    platform::Semaphore mhThreadStarted{0, 1};
    std::atomic<uint64_t> mWakeups{0};

    RingGeometry mRing;
    // Quarter the play cursor was in at the last accepted notification.
    uint32_t mQuarterIndex = 0;
    // Owed silence that reaches the quarter boundary after the block; the
    // rest of mSilenceToWrite covers the quarter after it.
    uint32_t mSilenceBeforeRelease = 0;
    // Notifications in a row whose cursor position could not be read (worker only).
    uint32_t mPositionFailures = 0;
    // A continuous write waits on mhFinishedWithData for the attached block.
    bool mWriteWaiting = false;
    std::atomic<int32_t> mWriteOutcome{0};
    // First conversion warning of the current block.
    std::atomic<int32_t> mBlockStatus{0};

    std::atomic<bool> mShutDown{false};
    std::mutex mShutdownMutex;
    std::shared_mutex mDeviceLock;
};

}  // namespace tw
