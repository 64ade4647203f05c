// Reading side of WavStream, and the parts both sides share.
#include "file/WavStream.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/ErrorCodes.h"

namespace tw {

namespace {

constexpr uint32_t kFormatCoreBytes = 16;
constexpr uint32_t kFormatExBytes = sizeof(WaveFormatEx);
constexpr uint32_t kSubFormatOffset = 24;

uint16_t load16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

}  // namespace

WaveFormatEx WavStream::formatHeader() const {
    WaveFormatEx header{};
    if (mFormat) std::memcpy(&header, mFormat.get(), std::min(mFormatBytes, kFormatExBytes));
    return header;
}

bool WavStream::subFormat(FormatGuid& out) const {
    if (!mFormat || mFormatBytes < kSubFormatOffset + sizeof(FormatGuid)) return false;
    std::memcpy(&out, mFormat.get() + kSubFormatOffset, sizeof out);
    return true;
}

bool WavStream::storeFormat(const uint8_t* bytes, uint32_t size) {
    mFormat.reset(new (std::nothrow) uint8_t[size]);
    if (!mFormat) return false;
    std::memcpy(mFormat.get(), bytes, size);
    mFormatBytes = size;
    return true;
}

// There is no counterpart here of looking the path up as a resource of the
// main program when no file has that name: a missing file simply fails.
int32_t WavStream::openForReading(const char* path) {
    close();
    mMode = Mode::reading;
    mFormat.reset();
    mFormatBytes = 0;
    if (mFile.open(path, RiffFile::Mode::read) != 0) return hr::kFail;
    int32_t result = readHeader();
    if (result == 0) result = rewind();
    if (result != 0) mFile.close();
    return result;
}

int32_t WavStream::readHeader() {
    mFormat.reset();
    mFormatBytes = 0;
    mRiff = RiffChunkInfo{};
    if (mFile.descend(mRiff, nullptr, 0) != RiffResult::ok || mRiff.ckid != kFourCCRiff ||
        mRiff.fccType != kFourCCWave)
        return hr::kFail;

    RiffChunkInfo fmt;
    fmt.ckid = kFourCCFmt;
    if (mFile.descend(fmt, &mRiff, kRiffFindChunk) != RiffResult::ok || fmt.cksize < kFormatCoreBytes)
        return hr::kFail;
    uint8_t core[kFormatExBytes] = {};
    if (mFile.read(core, kFormatCoreBytes) != kFormatCoreBytes) return hr::kFail;

    if (load16(core) == kWaveFormatPcm) {
        if (!storeFormat(core, kFormatExBytes)) return hr::kFail;
    } else {
        // The extension follows in the file, whatever the chunk's size says.
        uint8_t length[2];
        if (mFile.read(length, 2) != 2) return hr::kFail;
        const uint16_t cbSize = load16(length);
        std::memcpy(core + kFormatCoreBytes, length, 2);
        // Nothing is allocated for an extension the file cannot hold.
        const int64_t left = bytesToEnd();
        if (left < 0 || cbSize > left) return hr::kFail;
        std::unique_ptr<uint8_t[]> block(new (std::nothrow) uint8_t[kFormatExBytes + cbSize]);
        if (!block) return hr::kFail;
        std::memcpy(block.get(), core, kFormatExBytes);
        if (mFile.read(block.get() + kFormatExBytes, cbSize) != cbSize) return hr::kFail;
        mFormat = std::move(block);
        mFormatBytes = kFormatExBytes + cbSize;
    }
    if (mFile.ascend(fmt) != RiffResult::ok) {
        mFormat.reset();
        mFormatBytes = 0;
        return hr::kFail;
    }
    return hr::kOk;
}

int64_t WavStream::bytesToEnd() {
    const int64_t here = mFile.tell();
    const int64_t end = mFile.seek(0, SEEK_END);
    if (end < 0 || mFile.seek(here, SEEK_SET) != here) return -1;
    return std::max<int64_t>(end - here, 0);
}

int32_t WavStream::rewind() {
    mBytesLeft = 0;
    if (!mFile.isOpen() || mMode != Mode::reading) return hr::kFail;
    if (mFile.seek(static_cast<int64_t>(mRiff.dwDataOffset) + 4, SEEK_SET) < 0) return hr::kFail;
    RiffChunkInfo data;
    data.ckid = kFourCCData;
    if (mFile.descend(data, &mRiff, kRiffFindChunk) != RiffResult::ok) return hr::kFail;
    mChunk = data;
    // A data chunk that claims more than the file holds ends with the file:
    // nothing past it can be read, and nothing is sized for it.
    const int64_t available = bytesToEnd();
    if (available < 0) return hr::kFail;
    mDataSize = static_cast<uint32_t>(std::min<uint64_t>(data.cksize, static_cast<uint64_t>(available)));
    mBytesLeft = mDataSize;
    return hr::kOk;
}

int32_t WavStream::read(uint64_t size, uint32_t unit, Sink& sink, uint64_t& bytesRead) {
    bytesRead = 0;
    if (!mFile.isOpen() || mMode != Mode::reading) return hr::kNotInitialized;
    if (unit == 0) return hr::kInvalidArg;
    RiffBufferInfo info;
    if (mFile.getInfo(info) != RiffResult::ok) return hr::kFail;
    // A unit must fit the buffer, unless the data ends within it.
    if (std::min<uint64_t>({unit, size, mBytesLeft}) > info.cchBuffer) return hr::kInvalidArg;

    uint64_t left = std::min<uint64_t>(size, mBytesLeft);
    mBytesLeft -= static_cast<uint32_t>(left);
    int32_t result = hr::kOk;
    while (left > 0) {
        const uint64_t need = std::min<uint64_t>(left, unit);
        uint64_t avail = static_cast<uint64_t>(info.pchEndRead - info.pchNext);
        if (avail < need) {
            // Refills from pchNext on, so a unit cut by the buffer's end
            // comes back whole at the start of the next one.
            if (mFile.advance(info, RiffAdvance::read) != RiffResult::ok) {
                result = hr::kFail;
                break;
            }
            avail = static_cast<uint64_t>(info.pchEndRead - info.pchNext);
            if (avail < need) {
                result = hr::kFail;
                break;
            }
        }
        uint64_t take = std::min(avail, left);
        if (take < left) take -= take % unit;
        sink.take(reinterpret_cast<const uint8_t*>(info.pchNext), static_cast<uint32_t>(take));
        info.pchNext += take;
        left -= take;
        bytesRead += take;
    }
    if (mFile.setInfo(info) != RiffResult::ok) result = hr::kFail;
    return result;
}

int32_t WavStream::seek(int32_t mode, int64_t byteOffset) {
    if (!mFile.isOpen() || mMode != Mode::reading) return hr::kFail;
    const int64_t dataStart = static_cast<int64_t>(mChunk.dwDataOffset);
    const int64_t dataEnd = dataStart + mDataSize;
    int64_t target;
    switch (mode) {
        case 0: target = dataStart + std::max<int64_t>(byteOffset, 0); break;
        case 1: target = dataEnd - std::max<int64_t>(byteOffset, 0); break;
        case 2: target = dataEnd - mBytesLeft + byteOffset; break;
        default:
            // Back to the start, as after a failed seek: the frame count the
            // reader then reports (0) is where the next read begins.
            rewind();
            return hr::kFail;
    }
    target = std::clamp(target, dataStart, dataEnd);
    if (mFile.seek(target, SEEK_SET) != target) {
        rewind();
        return hr::kFail;
    }
    mBytesLeft = static_cast<uint32_t>(dataEnd - target);
    return hr::kOk;
}

int32_t WavStream::close() {
    if (!mFile.isOpen()) {
        mMode = Mode::closed;
        return hr::kNotInitialized;
    }
    int32_t result = hr::kOk;
    if (mMode == Mode::writing) {
        result = finalise();
    } else {
        mFile.close();
    }
    mMode = Mode::closed;
    return result;
}

}  // namespace tw
