#include "file/SoundFileReader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "convert/HostDataBlock.h"
#include "convert/SampleConverter.h"
#include "core/ErrorCodes.h"
#include "device/DirectSoundLibrary.h"
#include "host/HostData.h"
#include "platform/File.h"

namespace tw {

namespace {

// Float samples are turned into integers through a scratch block this big.
constexpr uint32_t kScratchBytes = 256 * 1024;

bool sameGuid(const FormatGuid& a, const FormatGuid& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A 32-bit float sample as a full-scale 32-bit integer: clamped to [-1, 1],
// scaled by 2^31 - 1 and truncated; NaN becomes the most negative value.
int32_t floatToFullScale(float x) {
    if (std::isnan(x)) return INT32_MIN;
    const double unit = std::clamp(static_cast<double>(x), -1.0, 1.0);
    return static_cast<int32_t>(unit * 2147483647.0);
}

// Moves the bytes of a read into the host array, turning float samples into
// integers on the way when it has a scratch block.
class ArraySink final : public WavStream::Sink {
public:
    ArraySink(HostDataBlock& block, uint8_t* scratch, uint32_t scratchBytes)
        : mBlock(block), mScratch(scratch), mScratchBytes(scratchBytes) {}

    void take(const uint8_t* bytes, uint32_t count) override {
        if (mScratch == nullptr) {
            copy(bytes, count);
            return;
        }
        while (count > 0) {
            const uint32_t n = std::min(count, mScratchBytes);
            const uint32_t whole = n - n % 4;
            for (uint32_t i = 0; i < whole; i += 4) {
                float x;
                std::memcpy(&x, bytes + i, 4);
                const int32_t v = floatToFullScale(x);
                std::memcpy(mScratch + i, &v, 4);
            }
            std::memcpy(mScratch + whole, bytes + whole, n - whole);
            copy(mScratch, n);
            bytes += n;
            count -= n;
        }
    }

    uint32_t frames() const { return mFrames; }
    int32_t status() const { return mStatus; }

private:
    void copy(const uint8_t* bytes, uint32_t count) {
        uint32_t moved = 0;
        const int32_t status = mBlock.copyFromDevice(bytes, count, moved);
        mFrames += moved;
        if (mStatus == 0) mStatus = status;
    }

    HostDataBlock& mBlock;
    uint8_t* mScratch;
    uint32_t mScratchBytes;
    uint32_t mFrames = 0;
    int32_t mStatus = 0;
};

}  // namespace

SoundFileReader::SoundFileReader(TwStringHandle path) { open(path); }

SoundFileReader::~SoundFileReader() { mStream.close(); }

void SoundFileReader::open(TwStringHandle handle) {
    if (handle == nullptr || host::stringLength(handle) <= 0) {
        mStatus = err::kPath;
        return;
    }
    char path[kPathBufferSize];
    host::readString(handle, path, sizeof path);
    mStatus = checkPath(path);
    if (mStatus != 0) return;
    mStatus = DirectSoundLibrary::instance().getError();
    if (mStatus != 0) return;
    if (mStream.openForReading(path) < 0 || mStream.dataSize() == 0 || !mStream.hasFormat()) {
        mStream.close();
        mStatus = err::kFile;
        return;
    }
    const WaveFormatEx header = mStream.formatHeader();
    mChannels = header.nChannels;
    mBitsPerSample = header.wBitsPerSample;
    mSampleRate = header.nSamplesPerSec;
    // A header without a byte rate gives no duration rather than infinity.
    mDurationSeconds = header.nAvgBytesPerSec != 0
                           ? static_cast<double>(mStream.dataSize()) / static_cast<double>(header.nAvgBytesPerSec)
                           : 0.0;
    mTotalSamples = frameBytes() > 0 ? mStream.dataSize() / frameBytes() : 0;
}

int32_t SoundFileReader::checkPath(const char* path) {
    platform::PathInfo info;
    if (const int error = platform::pathInfo(path, info); error != 0) return mapRuntimeError(error);
    if (info.directory) return err::kIsDirectory;
    if (const int error = platform::touchFile(path, false); error != 0) return mapRuntimeError(error);
    return err::kOk;
}

int32_t SoundFileReader::cleanup() {
    std::lock_guard guard(mStreamMutex);
    mStream.close();
    return 0;
}

int32_t SoundFileReader::seek(int32_t mode, int32_t sampleOffset) {
    std::lock_guard guard(mStreamMutex);
    const int64_t unit = int64_t{mBitsPerSample / 8} * mChannels;
    if (mStream.seek(mode, unit * sampleOffset) != 0) {
        mSamplesRead = 0;
        return err::kDevice;
    }
    // A file without whole bytes per sample has no position in frames.
    mSamplesRead = unit > 0 ? static_cast<uint32_t>(mStream.bytesConsumed() / unit) : 0;
    return err::kOk;
}

int32_t SoundFileReader::sampleFormat(bool& isFloat) const {
    const WaveFormatEx header = mStream.formatHeader();
    // Any other tag (mu-law, A-law, ADPCM, ...) holds encoded samples: read
    // as integers they would play as noise.
    if (header.wFormatTag != kWaveFormatPcm && header.wFormatTag != kWaveFormatFloat &&
        header.wFormatTag != kWaveFormatExtensible)
        return err::kFormat;
    isFloat = header.wFormatTag == kWaveFormatFloat;
    if (header.wFormatTag == kWaveFormatExtensible) {
        FormatGuid sub;
        if (header.cbSize < kExtensibleExtraBytes || !mStream.subFormat(sub)) return err::kFormat;
        isFloat = sameGuid(sub, kSubtypeFloat);
        if (!isFloat && !sameGuid(sub, kSubtypePcm)) return err::kFormat;
    }
    if (isFloat && header.wBitsPerSample != 32) return err::kFormat;
    return err::kOk;
}

int32_t SoundFileReader::read(int32_t count, uint16_t typeCode, TwArrayHandle data, int32_t& framesRead,
                              bool& atEnd) {
    std::lock_guard guard(mStreamMutex);
    framesRead = 0;
    atEnd = false;
    // Everything that can refuse the call is checked before any data is used.
    const uint32_t bytesPerSample = mBitsPerSample / 8;
    const uint32_t frameBytes = this->frameBytes();
    if (frameBytes < 1 || bytesPerSample == 0) return err::kFormat;
    bool isFloat = false;
    if (const int32_t format = sampleFormat(isFloat); format != 0) return format;
    // No samples to fill (no count, or no array) comes before a type without
    // converter.
    uint64_t frames = count < 0 ? mTotalSamples : static_cast<uint32_t>(count);
    if (frames == 0 || data == nullptr) {
        atEnd = mStream.atEnd();
        return err::kNoSamples;
    }
    if (!isSampleType(typeCode)) return err::kGeneric;
    // Never more than the rest of the data (a partial last frame included).
    const uint64_t framesLeft = (uint64_t{mStream.bytesLeft()} + frameBytes - 1) / frameBytes;
    frames = std::min(frames, std::max<uint64_t>(framesLeft, 1));

    HostDataBlock block(data, typeCode, mChannels, static_cast<uint32_t>(frames), bytesPerSample);
    if (block.resizeResult() != 0) return block.resizeResult();

    const uint64_t bytes = frames * frameBytes;
    std::unique_ptr<uint8_t[]> scratch;
    uint32_t scratchBytes = 0;
    if (isFloat) {
        scratchBytes = static_cast<uint32_t>(
            std::min<uint64_t>(bytes, std::max(kScratchBytes - kScratchBytes % frameBytes, frameBytes)));
        scratch.reset(new (std::nothrow) uint8_t[scratchBytes]);
        if (!scratch) return err::kNoSamples;
    }
    ArraySink sink(block, scratch.get(), scratchBytes);
    uint64_t bytesRead = 0;
    const uint32_t consumedBefore = mStream.bytesConsumed();
    if (mStream.read(bytes, frameBytes, sink, bytesRead) != 0) {
        // The call delivers nothing, so it consumes nothing: reading goes on
        // from where it began (a file cut short under the reader keeps the
        // frames before the cut readable).
        mStream.seek(0, consumedBefore);
        return err::kFile;
    }
    atEnd = mStream.atEnd();
    block.finish();
    framesRead = static_cast<int32_t>(sink.frames());
    mSamplesRead += sink.frames();
    return sink.status();
}

}  // namespace tw
