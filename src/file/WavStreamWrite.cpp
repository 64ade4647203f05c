// Writing side of WavStream: header with placeholder sizes, data appended
// through the I/O buffer, sizes and the fact value patched when closing.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/ErrorCodes.h"
#include "file/WavStream.h"

namespace tw {

namespace {

constexpr uint32_t kFactPlaceholder = 0xFFFFFFFFu;
// The RIFF size field counts everything behind its first 8 bytes.
constexpr uint64_t kMaxRiffEnd = 0xFFFFFFFFull + 8;

void store32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

int32_t createErrorResult(int errnoValue) {
    switch (errnoValue) {
        case ENOENT: case ENOTDIR: return hr::kFileNotFound;
        case EACCES: case EPERM: case EROFS: return hr::kAccessDenied;
        case EMFILE: case ENFILE: return hr::kTooManyOpenFiles;
        default: return hr::kFail;
    }
}

int32_t WavStream::openForWriting(const char* path, const uint8_t* format, uint32_t formatBytes) {
    close();
    mMode = Mode::writing;
    mFormat.reset();
    mFormatBytes = 0;
    if (format == nullptr || formatBytes < sizeof(WaveFormatEx) || !storeFormat(format, formatBytes))
        return hr::kInvalidArg;
    if (const int error = mFile.open(path, RiffFile::Mode::createReadWrite); error != 0)
        return createErrorResult(error);
    int32_t result = writeHeader();
    if (result == 0) result = startDataChunk();
    if (result != 0) mFile.close();
    return result;
}

int32_t WavStream::writeHeader() {
    mRiff = RiffChunkInfo{};
    mRiff.fccType = kFourCCWave;
    if (mFile.createChunk(mRiff, kRiffCreateRiff) != RiffResult::ok) return hr::kFail;

    RiffChunkInfo fmt;
    fmt.ckid = kFourCCFmt;
    fmt.cksize = 16;
    if (mFile.createChunk(fmt, 0) != RiffResult::ok) return hr::kFail;
    const WaveFormatEx header = formatHeader();
    const uint32_t length = header.wFormatTag == kWaveFormatPcm ? 16u : sizeof(WaveFormatEx) + header.cbSize;
    if (length > mFormatBytes || mFile.write(mFormat.get(), length) != length) return hr::kFail;
    if (mFile.ascend(fmt) != RiffResult::ok) return hr::kFail;

    RiffChunkInfo fact;
    fact.ckid = kFourCCFact;
    uint8_t value[4];
    store32(value, kFactPlaceholder);
    if (mFile.createChunk(fact, 0) != RiffResult::ok || mFile.write(value, 4) != 4 ||
        mFile.ascend(fact) != RiffResult::ok)
        return hr::kFail;
    return hr::kOk;
}

int32_t WavStream::startDataChunk() {
    mChunk = RiffChunkInfo{};
    mChunk.ckid = kFourCCData;
    return mFile.createChunk(mChunk, 0) == RiffResult::ok ? hr::kOk : hr::kFail;
}

int32_t WavStream::write(uint64_t size, uint32_t unit, Source& source, uint64_t& bytesWritten) {
    bytesWritten = 0;
    if (!mFile.isOpen() || mMode != Mode::writing) return hr::kNotInitialized;
    if (size == 0) return hr::kOk;
    RiffBufferInfo info;
    if (unit == 0 || mFile.getInfo(info) != RiffResult::ok || unit > info.cchBuffer) return hr::kInvalidArg;
    const int64_t start = mFile.tell();
    // A data chunk the size fields cannot describe would make a wrong file.
    if (static_cast<uint64_t>(start) + size + 1 > kMaxRiffEnd) return hr::kFail;

    bool ok = true;
    while (bytesWritten < size) {
        const uint64_t left = size - bytesWritten;
        uint64_t room = static_cast<uint64_t>(info.pchEndWrite - info.pchNext);
        if (room < std::min<uint64_t>(left, unit)) {
            info.dwFlags |= kRiffDirty;
            if (mFile.advance(info, RiffAdvance::write) != RiffResult::ok) {
                ok = false;
                break;
            }
            room = static_cast<uint64_t>(info.pchEndWrite - info.pchNext);
        }
        const int64_t produced =
            source.produce(reinterpret_cast<uint8_t*>(info.pchNext), static_cast<uint32_t>(std::min(room, left)));
        if (produced < 0) {
            ok = false;
            break;
        }
        if (produced == 0) break;
        info.pchNext += produced;
        info.dwFlags |= kRiffDirty;
        bytesWritten += static_cast<uint64_t>(produced);
    }
    // Every call reaches the file before it returns, so a failure is reported
    // by the call whose data could not be written, never by a later one. The
    // next call starts a fresh buffer behind it.
    if (ok && bytesWritten > 0) ok = mFile.advance(info, RiffAdvance::write) == RiffResult::ok;
    if (!ok) {
        mFile.truncate(start);
        bytesWritten = 0;
        return hr::kFail;
    }
    return hr::kOk;
}

int32_t WavStream::finalise() {
    uint8_t zero[4] = {};
    bool ok = mFile.ascend(mChunk) == RiffResult::ok && mFile.ascend(mRiff) == RiffResult::ok &&
              mFile.flush() == RiffResult::ok && mFile.seek(0, SEEK_SET) == 0;
    if (ok) {
        RiffChunkInfo riff;
        ok = mFile.descend(riff, nullptr, 0) == RiffResult::ok;
        if (ok) {
            RiffChunkInfo fact;
            fact.ckid = kFourCCFact;
            if (mFile.descend(fact, &riff, kRiffFindChunk) == RiffResult::ok) {
                mFile.write(zero, 4);
                mFile.ascend(fact);
            }
            ok = mFile.ascend(riff) == RiffResult::ok;
        }
    }
    // The file is closed in any case: its header keeps the placeholder
    // sizes when a step failed.
    const bool closed = mFile.close() == RiffResult::ok;
    return ok && closed ? hr::kOk : hr::kFail;
}

}  // namespace tw
