// The capture task's set-up and control: configure, the capture buffer,
// start, stop, state queries and shutdown.
#include "input/InputConfigurationData.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "convert/WaveFormat.h"
#include "core/ErrorCodes.h"
#include "core/Trace.h"
#include "device/DirectSoundLibrary.h"
#include "device/SoundDevice.h"
#include "platform/Wait.h"

namespace tw {

namespace {

constexpr uint32_t kStartPollMs = 20;

}  // namespace

InputConfigurationData::InputConfigurationData(SoundDevice* device, int32_t bufferSamples,
                                               double* sampleRate, uint32_t* channels,
                                               uint32_t* bitsPerSample, int32_t mode)
    : mVantorData(nullptr, TW_TYPE_I16, channels ? *channels : 0, 0) {
    mError = configure(device, bufferSamples, sampleRate, channels, bitsPerSample, mode);
}

InputConfigurationData::~InputConfigurationData() { shutdown(); }

int32_t InputConfigurationData::configure(SoundDevice* device, int32_t bufferSamples,
                                          double* sampleRate, uint32_t* channels,
                                          uint32_t* bitsPerSample, int32_t mode) {
    // Every exit leaves its code in mError as well.
    auto fail = [this](int32_t code) {
        mError = code;
        return code;
    };
    if (!device || !sampleRate || !channels || !bitsPerSample) return fail(err::kArgument);
    if (bufferSamples <= 0 || !(*sampleRate > 0.0) || *channels == 0 || *bitsPerSample == 0)
        return fail(err::kDevice);
    if (bufferSamples < 4 || bufferSamples > 0x0FFFFFFF) return fail(err::kDevice);
    // The format record holds both in 16 bits.
    if (*channels > 0xFFFF || *bitsPerSample > 0xFFFF) return fail(err::kDevice);

    if (!mDirectSoundCapture) {
        tws_result hr = DirectSoundLibrary::instance().createCapture(device->getGuid(), &mDirectSoundCapture);
        if (TWS_FAILED(hr)) return fail(mapSystemError(hr));
    }
    WaveFormat format(*channels, *sampleRate, *bitsPerSample);
    mChannels = format.channels();
    mBitsPerSample = format.validBits();
    mSampleRate = format.sampleRate();
    mSampleBytes = format.containerBits() / 8;
    if (mBuffer) {
        mBuffer->vtbl->release(mBuffer);
        mBuffer = nullptr;
    }

    const uint64_t bufferBytes = uint64_t(uint32_t(bufferSamples)) * mChannels * format.containerBits() / 8;
    if (bufferBytes > UINT32_MAX) return fail(err::kDevice);
    tws_capture_buffer_desc description{};
    description.dwSize = sizeof description;
    description.dwBufferBytes = static_cast<uint32_t>(bufferBytes);
    description.lpwfxFormat = format.formatRecord();
    if (int32_t result = createCaptureBuffer(description)) return fail(result);

    mBytesFree = mBufferBytes;
    mVantorData.setFormat(mChannels, mSampleBytes);
    *channels = mChannels;
    *bitsPerSample = mBitsPerSample;
    *sampleRate = mSampleRate;
    mContinuous = mode == TW_MODE_CONTINUOUS ? 1 : 0;
    start();
    return fail(err::kOk);
}

int32_t InputConfigurationData::createCaptureBuffer(const tws_capture_buffer_desc& description) {
    if (mBuffer) return err::kAllocated;
    if (!mDirectSoundCapture) return err::kBadRefnum;
    tws_result hr = mDirectSoundCapture->vtbl->create_buffer(mDirectSoundCapture, &description, &mBuffer);
    if (hr == TWS_E_INVALIDARG) return err::kDevice;
    if (TWS_FAILED(hr)) return mapSystemError(hr);
    mBufferBytes = description.dwBufferBytes;

    // Without notifications no read could ever be fed: the task is not usable.
    if (int32_t result = setNotifications()) return result;

    // The device may capture in another format than asked (a fixed rate).
    uint32_t size = 0;
    if (TWS_FAILED(mBuffer->vtbl->get_format(mBuffer, nullptr, 0, &size)) || size < sizeof(tws_wave_format))
        return err::kOk;
    std::vector<uint8_t> block(size);
    auto* record = reinterpret_cast<tws_wave_format*>(block.data());
    if (TWS_FAILED(mBuffer->vtbl->get_format(mBuffer, record, size, nullptr))) return err::kOk;
    mChannels = record->nChannels;
    mSampleRate = record->nSamplesPerSec;
    mBitsPerSample = record->wBitsPerSample;
    if (record->wFormatTag == TWS_WAVE_FORMAT_EXTENSIBLE && size >= sizeof(tws_wave_format_extensible))
        mBitsPerSample = reinterpret_cast<tws_wave_format_extensible*>(record)->Samples.wValidBitsPerSample;
    if (record->nChannels != 0) mSampleBytes = record->nBlockAlign / record->nChannels;
    return err::kOk;
}

bool InputConfigurationData::capturingLocked() {
    if (!mBuffer) return false;
    uint32_t status = 0;
    if (TWS_FAILED(mBuffer->vtbl->get_status(mBuffer, &status))) return false;
    return (status & TWS_CBSTATUS_CAPTURING) != 0;
}

int32_t InputConfigurationData::isRunning() {
    std::shared_lock lock(mDeviceLock);
    return capturingLocked() ? 1 : 0;
}

// A few ring lengths: a one-shot ring that fills before the first look
// never reports capturing, and start must not wait for it forever.
uint32_t InputConfigurationData::startTimeLimitMs() const {
    const uint32_t frameBytes = std::max<uint32_t>(mVantorData.frameBytes(), 1);
    const double ringMs = mSampleRate > 0 ? 1000.0 * (mBufferBytes / frameBytes) / mSampleRate : 0.0;
    return static_cast<uint32_t>(std::clamp(4.0 * ringMs, 100.0, 2000.0));
}

int32_t InputConfigurationData::start() {
    if (int32_t status = mError.load(); status > 0) return status;
    {
        std::shared_lock lock(mDeviceLock);
        if (!mBuffer) return err::kBadRefnum;
        // One run per task: its last pass makes 4823 sticky, but that pass may
        // still be on its way.
        if (mHasCaptured && !capturingLocked()) return err::kCaptureStopped;
        tws_result hr = mBuffer->vtbl->start(mBuffer, getModeFlag() ? TWS_CBSTART_LOOPING : 0);
        if (TWS_FAILED(hr)) return mapSystemError(hr);
        mHasCaptured = true;
    }
    const uint32_t limit = startTimeLimitMs();
    for (uint32_t waited = 0; waited < limit; waited += kStartPollMs) {
        if (isRunning()) return err::kOk;
        platform::sleepMs(kStartPollMs);
    }
    // The buffer never said it captures (or has already ended): what start found.
    return isRunning() ? err::kOk : err::kCaptureStopped;
}

int32_t InputConfigurationData::stop() {
    int32_t status = mError.load();
    if (status == err::kCaptureStopped) {
        if (!isRunning()) return err::kOk;
        mError.compare_exchange_strong(status, err::kOk);
    }
    if (int32_t current = mError.load(); current > 0) return current;
    std::shared_lock lock(mDeviceLock);
    if (!mBuffer) return err::kBadRefnum;
    mStopRequested = true;
    return mapSystemError(mBuffer->vtbl->stop(mBuffer));
}

int32_t InputConfigurationData::getFormat(double* sampleRate, int32_t* channels, int32_t* bitsPerSample,
                                          uint16_t* typeCode) {
    if (sampleRate) *sampleRate = mSampleRate;
    if (channels) *channels = static_cast<int32_t>(mChannels);
    if (bitsPerSample) *bitsPerSample = static_cast<int32_t>(mBitsPerSample);
    if (typeCode) *typeCode = naturalTypeCode(mBitsPerSample);
    return err::kOk;
}

int32_t InputConfigurationData::getStateDesc(char* text) {
    std::strcpy(text, "InputData ");
    return err::kOk;
}

// The synchronisation objects live until the destructor: a host thread may
// still be inside read when the host's clean-up shuts the task down.
int32_t InputConfigurationData::shutdown() {
    std::lock_guard serial(mShutdownLock);
    if (mhThread) {
        platform::postThreadMessage(mThreadId, platform::kQuitMessage);
        platform::waitForSingleObject(*mhThread, platform::kInfinite);
        mhThread.reset();
    }
    platform::waitForSingleObject(mhBufferMutex, platform::kInfinite);
    {
        std::unique_lock lock(mDeviceLock);
        // Releasing the buffer stops it and ends its callbacks.
        if (mBuffer) mBuffer->vtbl->release(mBuffer);
        mBuffer = nullptr;
        if (mDirectSoundCapture) mDirectSoundCapture->vtbl->release(mDirectSoundCapture);
        mDirectSoundCapture = nullptr;
    }
    // A read still waiting gets its array back with what it holds.
    if (mReadWaiting) {
        if (!mVantorData.isComplete()) mVantorData.finish();
        mhFinishedWithData.release();
    }
    mhBufferMutex.release();
    mNotifyPositions.reset();
    return err::kOk;
}

}  // namespace tw
