// Output task: construction, configuration and the state queries.
#include "output/OutputConfigurationData.h"

#include <cstring>

#include "convert/WaveFormat.h"
#include "core/ErrorCodes.h"
#include "core/Trace.h"
#include "device/DirectSoundLibrary.h"
#include "device/SoundDevice.h"
#include "platform/Wait.h"

namespace tw {

namespace {

constexpr uint32_t kMaxBufferSamples = 0x0FFFFFFF;
// Pan, volume, position notification, global focus, accurate play cursor.
constexpr uint32_t kBufferFlags = TWS_BCAPS_CTRLPAN | TWS_BCAPS_CTRLVOLUME | TWS_BCAPS_CTRLPOSITIONNOTIFY |
                                  TWS_BCAPS_GLOBALFOCUS | TWS_BCAPS_GETCURRENTPOSITION2;

}  // namespace

OutputConfigurationData::OutputConfigurationData(SoundDevice* device, int32_t bufferSamples, double* sampleRate,
                                                 uint32_t* channels, uint32_t* bitsPerSample, int32_t mode)
    : mVantorData(nullptr, 0, channels ? *channels : 0, 0) {
    mError = configure(device, bufferSamples, sampleRate, channels, bitsPerSample, mode);
}

OutputConfigurationData::~OutputConfigurationData() { shutdown(); }

int32_t OutputConfigurationData::configure(SoundDevice* device, int32_t bufferSamples, double* sampleRate,
                                           uint32_t* channels, uint32_t* bitsPerSample, int32_t mode) {
    if (!device || !sampleRate || !channels || !bitsPerSample) return mError = err::kArgument;
    if (bufferSamples <= 0 || !(*sampleRate > 0) || *channels == 0 || *bitsPerSample == 0)
        return mError = err::kDevice;
    mBufferSamples = static_cast<uint32_t>(bufferSamples);
    mContinuous = mode == TW_MODE_CONTINUOUS;
    if (mBufferSamples < 4 || mBufferSamples > kMaxBufferSamples) return mError = err::kDevice;
    // The format record holds both in 16 bits.
    if (*channels > 0xFFFF || *bitsPerSample > 0xFFFF) return mError = err::kDevice;

    if (!mDirectSound) {
        tws_result r = DirectSoundLibrary::instance().createSound(device->getGuid(), &mDirectSound);
        if (r >= 0 && !mDirectSound) r = TWS_E_FAIL;
        if (r >= 0) r = mDirectSound->vtbl->set_cooperative_level(mDirectSound, TWS_SCL_PRIORITY);
        if (r < 0) return mError = mapSystemError(r);
    }

    WaveFormat format(*channels, *sampleRate, *bitsPerSample);
    mChannels = format.channels();
    mBitsPerSample = format.validBits();
    mSampleRate = format.sampleRate();
    if (mBuffer) {
        mBuffer->vtbl->release(mBuffer);
        mBuffer = nullptr;
    }

    // Sized in 64 bits: a ring the sound system cannot hold is refused, never wrapped.
    const uint64_t bytes = uint64_t{mChannels} * mBufferSamples * format.containerBits() / 8;
    int32_t status = err::kDevice;
    if (bytes >= TWS_BSIZE_MIN && bytes <= TWS_BSIZE_MAX) {
        tws_buffer_desc desc{};
        desc.dwSize = sizeof desc;
        desc.dwFlags = kBufferFlags;
        desc.dwBufferBytes = static_cast<uint32_t>(bytes);
        desc.lpwfxFormat = format.formatRecord();
        status = createBuffer(desc);
    }
    if (status == 0 && getModeFlag() && !mhThread) status = startWorker();
    if (status == 0) {
        tws_result r = mBuffer->vtbl->set_current_position(mBuffer, 0);
        if (r < 0) return mError = mapSystemError(r);
    }
    mVantorData.setFormat(mChannels, (mBitsPerSample + 7) / 8);
    *channels = mChannels;
    *bitsPerSample = mBitsPerSample;
    *sampleRate = mSampleRate;
    mFirstWrite = true;
    if (mError == 0 && status != 0) mError = status;
    return status;
}

int32_t OutputConfigurationData::createBuffer(const tws_buffer_desc& desc) {
    tws_buffer* buffer = nullptr;
    tws_result r = mDirectSound->vtbl->create_buffer(mDirectSound, &desc, &buffer);
    if (r < 0 || !buffer) return (r == TWS_E_INVALIDARG || r >= 0) ? err::kDevice : mapSystemError(r);
    mBuffer = buffer;
    mBufferBytes = desc.dwBufferBytes;
    readBufferFormat();
    mRing = RingGeometry(mBufferBytes, mChannels * ((mBitsPerSample + 7) / 8));
    // A continuous task cannot stream without its quarter notifications.
    int32_t notifications = setNotifications();
    return mContinuous ? notifications : err::kOk;
}

void OutputConfigurationData::readBufferFormat() {
    uint32_t size = 0;
    if (mBuffer->vtbl->get_format(mBuffer, nullptr, 0, &size) < 0 || size > sizeof(tws_wave_format_extensible)) return;
    tws_wave_format_extensible record{};
    if (mBuffer->vtbl->get_format(mBuffer, &record.Format, sizeof record, nullptr) < 0) return;
    mChannels = record.Format.nChannels;
    mSampleRate = record.Format.nSamplesPerSec;
    mBitsPerSample = record.Format.wFormatTag == TWS_WAVE_FORMAT_EXTENSIBLE ? record.Samples.wValidBitsPerSample
                                                                            : record.Format.wBitsPerSample;
}

int32_t OutputConfigurationData::startWorker() {
    mhThread = platform::Thread::start([this] { return NotificationProc(); });
    if (!mhThread) return err::kNoMemory;
    mThreadId = mhThread->id();
    if (platform::waitForSingleObject(mhThreadStarted, platform::kInfinite) != platform::kWaitObject0)
        return err::kTimeout;
    return err::kOk;
}

int32_t OutputConfigurationData::getFormat(double* sampleRate, int32_t* channels, int32_t* bitsPerSample,
                                           uint16_t* typeCode) {
    if (sampleRate) *sampleRate = mSampleRate;
    if (channels) *channels = static_cast<int32_t>(mChannels);
    if (bitsPerSample) *bitsPerSample = static_cast<int32_t>(mBitsPerSample);
    if (typeCode) *typeCode = naturalTypeCode(mBitsPerSample);
    return err::kOk;
}

int32_t OutputConfigurationData::getStateDesc(char* text) {
    std::strcpy(text, isRunning() ? "isRunning= T" : "isRunning= F");
    return err::kOk;
}

int32_t OutputConfigurationData::isRunning() {
    std::shared_lock lock(mDeviceLock);
    return mBuffer && playing() ? 1 : 0;
}

bool OutputConfigurationData::playing() {
    uint32_t status = 0;
    return mBuffer->vtbl->get_status(mBuffer, &status) >= 0 && (status & TWS_BSTATUS_PLAYING);
}

bool OutputConfigurationData::lost() {
    uint32_t status = 0;
    return mBuffer->vtbl->get_status(mBuffer, &status) >= 0 && (status & TWS_BSTATUS_BUFFERLOST);
}

int32_t OutputConfigurationData::play() {
    uint32_t flags = getModeFlag() ? TWS_BPLAY_LOOPING : 0;
    return mBuffer->vtbl->play(mBuffer, flags) < 0 ? err::kDevice : err::kOk;
}

int32_t OutputConfigurationData::halt() {
    uint32_t status = 0;
    tws_result r = mBuffer->vtbl->get_status(mBuffer, &status);
    if (r >= 0) r = mBuffer->vtbl->stop(mBuffer);
    return r < 0 ? mapSystemError(r) : err::kOk;
}

int32_t OutputConfigurationData::rewind() {
    return mBuffer->vtbl->set_current_position(mBuffer, 0) < 0 ? err::kDevice : err::kOk;
}

}  // namespace tw
