#include "file/SoundFileWriter.h"

#include <cerrno>
#include <cstdio>

#include "convert/HostDataBlock.h"
#include "convert/WaveFormat.h"
#include "core/ErrorCodes.h"
#include "device/DirectSoundLibrary.h"
#include "host/HostData.h"
#include "platform/File.h"

namespace tw {

namespace {

// A format the header describes as asked: channel count, container bits and
// block align in their 16-bit fields, the rate (at least 1 Hz) and the byte
// rate in 32 bits. A negative channel count would reach the header as the
// low bits of a huge unsigned one. Samples no converter writes (wider than
// 32 bits) are described all the same; each data call then fails.
bool isWritableFormat(double sampleRate, int32_t channels, int32_t bitsPerSample) {
    if (channels <= 0 || channels > 0xFFFF || bitsPerSample <= 0 || !(sampleRate >= 1.0) ||
        sampleRate >= 4294967296.0)
        return false;
    const uint64_t containerBits = (uint64_t{static_cast<uint32_t>(bitsPerSample)} + 7) / 8 * 8;
    const uint64_t blockAlign = uint64_t{static_cast<uint32_t>(channels)} * containerBits / 8;
    return containerBits <= 0xFFFF && blockAlign <= 0xFFFF &&
           static_cast<double>(blockAlign) * sampleRate < 4294967296.0;
}

// Converts the host array straight into the stream's I/O buffer.
class ArraySource final : public WavStream::Source {
public:
    explicit ArraySource(HostDataBlock& block) : mBlock(block) {}

    int64_t produce(uint8_t* at, uint32_t room) override {
        uint32_t moved = 0;
        const int32_t status = mBlock.copyToDevice(at, room, moved);
        if (status > 0) {
            mStatus = status;
            return -1;
        }
        if (mStatus == 0) mStatus = status;
        mFrames += moved;
        return int64_t{moved} * mBlock.frameBytes();
    }

    uint32_t frames() const { return mFrames; }
    int32_t status() const { return mStatus; }

private:
    HostDataBlock& mBlock;
    uint32_t mFrames = 0;
    int32_t mStatus = 0;
};

}  // namespace

SoundFileWriter::SoundFileWriter(TwStringHandle path, double sampleRate, int32_t channels, int32_t bitsPerSample) {
    open(path, sampleRate, channels, bitsPerSample);
}

SoundFileWriter::~SoundFileWriter() { mStream.close(); }

void SoundFileWriter::open(TwStringHandle handle, double sampleRate, int32_t channels, int32_t bitsPerSample) {
    char path[kPathBufferSize];
    host::readString(handle, path, sizeof path);
    mStatus = checkPath(path);
    if (mStatus != 0) return;
    if (!isWritableFormat(sampleRate, channels, bitsPerSample)) {
        mStatus = err::kArgument;
        return;
    }
    mStatus = DirectSoundLibrary::instance().getError();
    if (mStatus != 0) return;

    const WaveFormat format(static_cast<uint32_t>(channels), sampleRate, static_cast<uint32_t>(bitsPerSample));
    const int32_t result = mStream.openForWriting(path, reinterpret_cast<const uint8_t*>(&format.extensibleRecord()),
                                                  sizeof(WaveFormatExtensible));
    if (result < 0) {
        mStream.close();
        mStatus = mapSystemError(result);
        if (mStatus == err::kNotFound) mStatus = err::kSharing;
        return;
    }
    const WaveFormatEx header = mStream.formatHeader();
    mBitsPerSample = header.wBitsPerSample;
    mChannels = header.nChannels;
    mSampleRate = header.nSamplesPerSec;
}

int32_t SoundFileWriter::checkPath(const char* path) {
    platform::PathInfo info;
    if (platform::pathInfo(path, info) != 0) {
        // Not there (or not visible): create it empty.
        if (const int error = platform::touchFile(path, true); error != 0) return mapRuntimeError(error);
        return err::kOk;
    }
    if (info.directory) return err::kIsDirectory;
    if (!info.writable) return err::kAccess;
    return err::kOk;
}

int32_t SoundFileWriter::cleanup() {
    std::lock_guard guard(mStreamMutex);
    mStream.close();
    return 0;
}

int32_t SoundFileWriter::write(TwArrayHandle data, uint16_t typeCode, int32_t& framesWritten) {
    std::lock_guard guard(mStreamMutex);
    framesWritten = 0;
    if (!fitsHostBlock(data, typeCode)) return err::kArgument;
    HostDataBlock block(data, typeCode, mChannels, (mBitsPerSample + 7) / 8);
    const uint64_t size = block.bytesRemaining();
    ArraySource source(block);
    uint64_t bytesWritten = 0;
    const int32_t result = mStream.write(size, block.frameBytes(), source, bytesWritten);
    if (source.status() > 0) return source.status();
    // The frames moved are reported also when the file then refuses them: the
    // whole array is converted (as it goes into the stream's buffer).
    framesWritten = static_cast<int32_t>(block.sampleCount());
    if (result != 0) return err::kFile;
    mSamplesWritten += source.frames();
    return source.status();
}

}  // namespace tw
