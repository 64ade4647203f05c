// Output task: start, pause, stop, volume, wait and shutdown.
#include <algorithm>

#include "core/Cleanable.h"
#include "core/ErrorCodes.h"
#include "core/Trace.h"
#include "host/HostRuntime.h"
#include "output/OutputConfigurationData.h"
#include "platform/MessageQueue.h"
#include "platform/Wait.h"

namespace tw {

namespace {
constexpr uint32_t kWaitPollMs = 20;
}

int32_t OutputConfigurationData::start() {
    if (int32_t e = mError.load(); e > 0) return e;
    trace("OutputConfigurationData::start()");
    std::shared_lock lock(mDeviceLock);
    return mBuffer ? play() : err::kDevice;
}

int32_t OutputConfigurationData::pause() {
    if (int32_t e = mError.load(); e > 0) return e;
    // Under the buffer mutex, so that a write waiting for its block is let go
    // consistently with the worker (nothing else would wake it).
    if (platform::waitForSingleObject(mhBufferMutex, platform::kInfinite) != platform::kWaitObject0)
        return err::kNoMemory;
    int32_t result;
    {
        std::shared_lock lock(mDeviceLock);
        result = mBuffer ? halt() : err::kAllocated;
    }
    const bool cut = mWriteWaiting && !mVantorData.isComplete();
    abortWriter();
    // Data cut short is followed by silence like every block, so that the
    // ring's previous lap does not play after it once playback resumes. The
    // ring is full: the worker writes the silence as quarters come free.
    if (cut) oweSilence();
    mhBufferMutex.release();
    return result;
}

int32_t OutputConfigurationData::stop() {
    if (int32_t e = mError.load(); e > 0) return e;
    if (platform::waitForSingleObject(mhBufferMutex, platform::kInfinite) != platform::kWaitObject0)
        return err::kNoMemory;
    int32_t result;
    {
        std::shared_lock lock(mDeviceLock);
        result = stopHeld();
    }
    mhBufferMutex.release();
    return result;
}

int32_t OutputConfigurationData::stopHeld() {
    if (int32_t e = mError.load(); e > 0) return e;
    if (mBuffer) halt();
    int32_t result = err::kOk;
    if (!mBuffer || rewind() != err::kOk) {
        result = err::kDevice;
    } else {
        mNumBytesInBufferToPlay = 0;
        mWritePos = 0;
        mQuarterIndex = 0;
        mSilenceToWrite = mSilenceWritten = mSilenceBeforeRelease = 0;
    }
    abortWriter();
    return result;
}

int32_t OutputConfigurationData::setVolume(int32_t volume) {
    if (int32_t e = mError.load(); e > 0) return e;
    std::shared_lock lock(mDeviceLock);
    if (!mBuffer || mBuffer->vtbl->set_volume(mBuffer, volumeToAttenuation(volume)) < 0) return err::kWarnVolume;
    return err::kOk;
}

int32_t OutputConfigurationData::getVolume(int32_t* volume) {
    if (int32_t e = mError.load(); e > 0) return e;
    if (!volume) return err::kArgument;
    int32_t attenuation = 0;
    std::shared_lock lock(mDeviceLock);
    if (!mBuffer || mBuffer->vtbl->get_volume(mBuffer, &attenuation) < 0) return err::kWarnVolume;
    *volume = attenuationToVolume(attenuation);
    return err::kOk;
}

int32_t OutputConfigurationData::wait(double timeoutSeconds) {
    if (int32_t e = mError.load(); e > 0) return e;
    int32_t result = registerWaitCleanup();
    if (timeoutSeconds < 0) {
        while (isRunning()) platform::sleepMs(kWaitPollMs);
    } else if (timeoutSeconds > 0) {
        const uint64_t limit = secondsToMs(timeoutSeconds);
        uint64_t elapsed = 0;
        while (isRunning() && elapsed < limit) {
            platform::sleepMs(static_cast<uint32_t>(std::min<uint64_t>(kWaitPollMs, limit - elapsed)));
            elapsed += kWaitPollMs;
        }
        if (elapsed >= limit) result = err::kTimeout;
    }
    return result;
}

// One registration per task, withdrawn with the task's own before it is torn
// down: repeated waits add nothing, and the host never calls into a deleted
// task. A refused registration is tried again by the next wait.
int32_t OutputConfigurationData::registerWaitCleanup() {
    return cleanup::enrolAlso(this, waitCleanupProc, host::kCleanupWait);
}

// The task's shutdown, through the same guard as its clean-up.
int32_t OutputConfigurationData::waitCleanupProc(void* task) { return cleanup::run(task); }

// May run on a host clean-up thread while other calls are inside the task:
// the semaphores and events live until the destructor, a waiting write is let
// go, and the sound buffer is released only once no call is using it.
int32_t OutputConfigurationData::shutdown() {
    std::lock_guard guard(mShutdownMutex);
    mShutDown = true;
    if (platform::waitForSingleObject(mhBufferMutex, platform::kInfinite) == platform::kWaitObject0) {
        abortWriter();
        mhBufferMutex.release();
    }
    if (mhThread) {
        if (!platform::postThreadMessage(mThreadId, platform::kQuitMessage)) mhMoreDataEvent.set();
        mhThread->join();
        mhThread.reset();
    }
    std::unique_lock lock(mDeviceLock);
    if (mBuffer) {
        mBuffer->vtbl->release(mBuffer);
        mBuffer = nullptr;
    }
    if (mDirectSound) {
        mDirectSound->vtbl->release(mDirectSound);
        mDirectSound = nullptr;
    }
    mNotificationsSet = false;
    return err::kOk;
}

}  // namespace tw
