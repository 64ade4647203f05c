// The capture engine's host side: read, and the capture pass that moves whole
// quarters straight from the locked capture buffer into the host's array.
#include <algorithm>

#include "convert/SampleConverter.h"
#include "core/ErrorCodes.h"
#include "core/Trace.h"
#include "input/InputConfigurationData.h"
#include "platform/Wait.h"

namespace tw {

int32_t InputConfigurationData::read(TwArrayHandle data, int32_t samplesToRead, double timeoutSeconds,
                                     uint16_t typeCode) {
    if (int32_t status = mError.load(); status > 0) return status;
    if (samplesToRead < 0) return err::kDevice;
    const uint32_t timeoutMs = secondsToMs(timeoutSeconds);
    if (platform::waitForSingleObject(mhReadGate, timeoutMs) != platform::kWaitObject0) return err::kTimeout;

    platform::waitForSingleObject(mhBufferMutex, platform::kInfinite);
    int32_t result = attachArray(data, samplesToRead, typeCode);
    const bool attached = result == err::kOk;
    if (attached) {
        // Only a capture that never got going is started here; one that ended
        // stays ended.
        if (!mHasCaptured && !isRunning()) start();
        // A pass that finds the capture stopped says so, also when it copied
        // samples first (the array keeps them).
        uint32_t frames = 0;
        result = capturePass(frames);
    }
    mhBufferMutex.release();

    if (attached) {
        if (result == err::kOk) {
            trace("InputConfigurationData::read() waiting for mhFinishedWithData (mVantorData needs to be consumed)");
            if (platform::waitForSingleObject(mhFinishedWithData, timeoutMs) == platform::kWaitObject0)
                trace("InputConfigurationData::read() has detected that mVantorData is consumed and we are safe to return to Vantor.");
            else
                result = err::kTimeout;
            // A capture that failed under the read reports why.
            if (int32_t status = mError.load(); status > 0 && status != err::kCaptureStopped && status != err::kIncomplete)
                result = status;
        }
        endRead();
    }
    mhReadGate.release();
    return result;
}

// Under mhBufferMutex.
int32_t InputConfigurationData::attachArray(TwArrayHandle data, int32_t samples, uint16_t typeCode) {
    // Without a converter every copy would count frames it never wrote.
    if (!isSampleType(typeCode)) return err::kGeneric;
    if (int32_t result = mVantorData.attachAndResize(data, typeCode, static_cast<uint32_t>(samples))) {
        // The array is the host's again: no pass may write into it.
        mVantorData.detach();
        return result;
    }
    // A release left over from an earlier read that timed out must not end
    // this one early.
    platform::waitForSingleObject(mhFinishedWithData, 0);
    mReadWaiting = true;
    return err::kOk;
}

// Hands the array back: shrunk to what it holds unless it is full; only a
// full one counts towards the total.
void InputConfigurationData::endRead() {
    platform::waitForSingleObject(mhBufferMutex, platform::kInfinite);
    if (!mVantorData.isComplete()) mVantorData.finish();
    mTotalSamplesRead += mVantorData.sampleCount();
    mVantorData.detach();
    mReadWaiting = false;
    mhBufferMutex.release();
}

int32_t InputConfigurationData::readCaptured(bool takeMutex) {
    // Waits without limit: a stop pass that gave up would leave a waiting
    // read hanging.
    if (takeMutex) platform::waitForSingleObject(mhBufferMutex, platform::kInfinite);
    uint32_t frames = 0;
    int32_t result = capturePass(frames);
    if (takeMutex) mhBufferMutex.release();
    return result;
}

// Under mhBufferMutex.
int32_t InputConfigurationData::capturePass(uint32_t& framesMoved) {
    framesMoved = 0;
    std::shared_lock lock(mDeviceLock);
    if (!mBuffer) return err::kBadRefnum;
    int32_t result = err::kOk;
    const bool capturing = capturingLocked();
    // A one-shot ring that ran full holds its last quarters complete.
    const bool ringFilled = !capturing && !mContinuous && mHasCaptured && !mStopRequested;
    if (!mVantorData.isComplete() && (capturing || ringFilled)) {
        uint32_t capturePosition = 0;
        uint32_t readPosition = 0;
        tws_result hr = mBuffer->vtbl->get_current_position(mBuffer, &capturePosition, &readPosition);
        if (TWS_FAILED(hr)) {
            result = mapSystemError(hr);
            trace("Could not get positions in input buffer:", static_cast<uint32_t>(result), static_cast<uint32_t>(hr));
            if (capturing) return result;
        } else {
            trace("Input capture Pos=", capturePosition);
            trace("Input read    Pos=", readPosition);
            trace("Input mBufferRead=", mBufferRead);
            const uint32_t available = bytesToCopy(readPosition, ringFilled);
            const uint64_t requested = mVantorData.bytesRemaining();
            trace("Input Bytes Requested:", static_cast<uint32_t>(std::min<uint64_t>(requested, UINT32_MAX)));
            trace("Input Bytes Available:", available);
            if (available == 0) {
                if (capturing) return err::kOk;
            } else {
                result = copyFromRing(static_cast<uint32_t>(std::min<uint64_t>(requested, available)), framesMoved);
            }
        }
    }
    if (!capturingLocked()) {
        // A full array stays attached so that its read counts it.
        if (!mVantorData.isComplete()) mVantorData.finish();
        trace("Input: Releasing mhFinishedWithData because we aren't acquiring");
        mhFinishedWithData.release();
        // A failure that stopped the capture stays what the task reports.
        int32_t current = mError.load();
        if (current <= 0 || current == err::kIncomplete) mError = err::kCaptureStopped;
        result = err::kCaptureStopped;
    }
    return result;
}

// Captured bytes not yet copied: whole quarters while capturing; everything
// left of a one-shot ring that ran full.
uint32_t InputConfigurationData::bytesToCopy(uint32_t readPosition, bool ringFilled) const {
    if (ringFilled) return mBytesCopied < mBufferBytes ? static_cast<uint32_t>(mBufferBytes - mBytesCopied) : 0;
    const uint32_t quarter = mBufferBytes / 4;
    uint32_t available = (readPosition % mBufferBytes + mBufferBytes - mBufferRead) % mBufferBytes;
    available -= available % quarter;
    return available % mBufferBytes;
}

int32_t InputConfigurationData::copyFromRing(uint32_t bytes, uint32_t& framesMoved) {
    void* regionA = nullptr;
    void* regionB = nullptr;
    uint32_t bytesA = 0;
    uint32_t bytesB = 0;
    // A failed lock leaves both regions empty, and nothing is converted.
    mBuffer->vtbl->lock(mBuffer, mBufferRead, bytes, &regionA, &bytesA, &regionB, &bytesB, 0);
    uint32_t frames = 0;
    int32_t result = err::kOk;
    if (regionA) result = mVantorData.copyFromDevice(static_cast<const uint8_t*>(regionA), bytesA, frames);
    if (regionB) {
        uint32_t framesB = 0;
        int32_t second = mVantorData.copyFromDevice(static_cast<const uint8_t*>(regionB), bytesB, framesB);
        frames += framesB;
        if (result == err::kOk) result = second;
    }
    if (regionA) mBuffer->vtbl->unlock(mBuffer, regionA, bytesA, regionB, bytesB);
    trace("Input bytes written to buffer (set 1, set 2):", bytesA, bytesB);

    const uint32_t consumed = frames * mVantorData.frameBytes();
    trace("Input Read range (position, bytes):", mBufferRead, consumed);
    mBufferRead = static_cast<uint32_t>((uint64_t{mBufferRead} + consumed) % mBufferBytes);
    mBytesFree += consumed;
    mBytesCopied += consumed;
    framesMoved = frames;
    if (mVantorData.isComplete()) {
        trace("Input: Releasing mhFinishedWithData");
        mhFinishedWithData.release();
    }
    return result;
}

}  // namespace tw
