#include "file/RiffFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/File.h"

namespace tw {

RiffFile::~RiffFile() {
    close();
}

int RiffFile::open(const char* path, Mode mode, uint32_t bufferSize) {
    close();
    mLastError = 0;
    if (path == nullptr || path[0] == '\0') return ENOENT;
    if (bufferSize < 16) bufferSize = 16;

    const bool writable = mode == Mode::createReadWrite;
    platform::FileHandle file;
    if (const int error = platform::openFile(path, writable, file); error != 0) return error;
    int64_t size = 0;
    int statError = platform::fileSize(file, size);
    if (statError == 0 && writable && size > 0) statError = platform::truncateFile(file, 0);
    // A file read needs no more buffer than it holds, in whole pages.
    if (statError == 0 && !writable) {
        const uint64_t pages = (static_cast<uint64_t>(size) + 4095) / 4096 * 4096;
        bufferSize = static_cast<uint32_t>(std::min<uint64_t>(bufferSize, std::max<uint64_t>(pages, 4096)));
    }
    std::unique_ptr<char[]> buffer;
    if (statError == 0) {
        buffer.reset(new (std::nothrow) char[bufferSize]);
        if (!buffer) statError = ENOMEM;
    }
    if (statError != 0) {
        platform::closeFile(file);
        return statError;
    }
    mFd = file;
    mWritable = writable;
    mBuffer = std::move(buffer);
    mCapacity = bufferSize;
    mReserving = writable;
    mReservedEnd = 0;
    rebase(0);
    return 0;
}

RiffResult RiffFile::close() {
    if (mFd == platform::kNoFile) return RiffResult::notOpen;
    const bool written = writeBack();
    releaseReserve();
    const int closeError = platform::closeFile(mFd);
    const bool closed = closeError == 0;
    if (!closed) mLastError = closeError;
    mFd = platform::kNoFile;
    mWritable = false;
    mBuffer.reset();
    mCapacity = 0;
    mDirty = false;
    mBufferOffset = 0;
    mNext = mValid = 0;
    return written && closed ? RiffResult::ok : RiffResult::cannotWrite;
}

RiffResult RiffFile::flush() {
    if (mFd == platform::kNoFile) return RiffResult::notOpen;
    return writeBack() ? RiffResult::ok : RiffResult::cannotWrite;
}

RiffResult RiffFile::truncate(int64_t position) {
    if (mFd == platform::kNoFile) return RiffResult::notOpen;
    if (!mWritable) return RiffResult::cannotWrite;
    if (position < 0) return RiffResult::invalidParam;
    if (position <= mBufferOffset) {
        rebase(position);
    } else if (position - mBufferOffset <= static_cast<int64_t>(mValid)) {
        mValid = mNext = static_cast<size_t>(position - mBufferOffset);
    } else {
        if (!writeBack()) return RiffResult::cannotWrite;
        rebase(position);
    }
    int64_t size = 0;
    if (const int error = platform::fileSize(mFd, size); error != 0) {
        mLastError = error;
        return RiffResult::cannotWrite;
    }
    if (size > position) {
        if (const int error = platform::truncateFile(mFd, position); error != 0) {
            mLastError = error;
            return RiffResult::cannotWrite;
        }
        mReservedEnd = std::min(mReservedEnd, position);
    }
    return RiffResult::ok;
}

// Writes [0, mValid) of a dirty buffer. On failure the buffer stays dirty so
// that nothing the caller handed over is dropped.
bool RiffFile::writeBack() {
    if (!mDirty) return true;
    if (!writeAt(mBuffer.get(), mValid, mBufferOffset)) return false;
    mDirty = false;
    return true;
}

bool RiffFile::writeAt(const char* from, size_t size, int64_t offset) {
    reserveThrough(offset + static_cast<int64_t>(size));
    size_t done = 0;
    while (done < size) {
        const int64_t n = platform::writeFileAt(mFd, from + done, size - done,
                                                offset + static_cast<int64_t>(done), mLastError);
        if (n < 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// A long file is reserved ahead in large steps, keeping its size: the file
// system then maps each step once instead of block by block on every write,
// which makes streamed writes about a tenth cheaper. Only a hint: when it
// fails, the writes themselves report any real error. Closing gives back
// what was not used.
void RiffFile::reserveThrough(int64_t end) {
    constexpr int64_t kReserveFrom = int64_t{1} << 20;
    constexpr int64_t kReserveStep = int64_t{8} << 20;
    if (!mReserving || end <= mReservedEnd || end < kReserveFrom) return;
    const int64_t to = (end + kReserveStep - 1) / kReserveStep * kReserveStep;
    if (!platform::reserveFileSpace(mFd, mReservedEnd, to - mReservedEnd)) {
        mReserving = false;
        return;
    }
    mReservedEnd = to;
}

// Frees reserved space past the end of the file.
void RiffFile::releaseReserve() {
    int64_t size = 0;
    if (mReservedEnd > 0 && platform::fileSize(mFd, size) == 0 && size < mReservedEnd) {
        platform::truncateFile(mFd, size);
    }
    mReservedEnd = 0;
}

// Empties the buffer and places it at `offset`; callers write it back first.
void RiffFile::rebase(int64_t offset) {
    mBufferOffset = offset;
    mNext = 0;
    mValid = 0;
    mDirty = false;
}

bool RiffFile::fill() {
    size_t got = 0;
    while (got < mCapacity) {
        const int64_t n = platform::readFileAt(mFd, mBuffer.get() + got, mCapacity - got,
                                               mBufferOffset + static_cast<int64_t>(got), mLastError);
        if (n < 0) {
            mValid = 0;
            return false;
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    mValid = got;
    return true;
}

int64_t RiffFile::read(void* dst, size_t size) {
    if (mFd == platform::kNoFile || (dst == nullptr && size > 0)) return -1;
    char* out = static_cast<char*>(dst);
    const size_t buffered = std::min(size, mValid - mNext);
    if (buffered == size) {
        std::memcpy(out, mBuffer.get() + mNext, size);
        mNext += size;
        return static_cast<int64_t>(size);
    }
    // The buffer runs out: it moves to the end of what it holds.
    const int64_t start = tell();
    if (!writeBack()) return -1;
    std::memcpy(out, mBuffer.get() + mNext, buffered);
    const int64_t resume = start + static_cast<int64_t>(buffered);
    size_t remaining = size - buffered;
    rebase(resume);
    if (remaining >= mCapacity) {
        size_t got = 0;
        while (got < remaining) {
            const int64_t n = platform::readFileAt(mFd, out + buffered + got, remaining - got,
                                                   resume + static_cast<int64_t>(got), mLastError);
            if (n < 0) {
                rebase(start);
                return -1;
            }
            if (n == 0) break;
            got += static_cast<size_t>(n);
        }
        rebase(resume + static_cast<int64_t>(got));
        return static_cast<int64_t>(buffered + got);
    }
    if (!fill()) {
        rebase(start);
        return -1;
    }
    const size_t more = std::min(remaining, mValid);
    std::memcpy(out + buffered, mBuffer.get(), more);
    mNext = more;
    return static_cast<int64_t>(buffered + more);
}

int64_t RiffFile::write(const void* src, size_t size) {
    if (mFd == platform::kNoFile || !mWritable || (src == nullptr && size > 0)) return -1;
    const int64_t start = tell();
    if (size > static_cast<uint64_t>(INT64_MAX - start)) {
        mLastError = EFBIG;
        return -1;
    }
    if (size <= mCapacity - mNext) {
        std::memcpy(mBuffer.get() + mNext, src, size);
        mNext += size;
        mValid = std::max(mValid, mNext);
        mDirty = mDirty || size > 0;
        return static_cast<int64_t>(size);
    }
    // Does not fit: write back what is buffered, then either pass the bytes
    // straight to the file or start a fresh buffer with them.
    if (!writeBack()) return -1;
    rebase(start);
    if (size < mCapacity) {
        std::memcpy(mBuffer.get(), src, size);
        mNext = mValid = size;
        mDirty = true;
        return static_cast<int64_t>(size);
    }
    // The buffer is clean and empty: the bytes go straight to the file.
    if (!writeAt(static_cast<const char*>(src), size, mBufferOffset)) return -1;
    rebase(start + static_cast<int64_t>(size));
    return static_cast<int64_t>(size);
}

bool RiffFile::readExact(void* dst, size_t size) {
    return read(dst, size) == static_cast<int64_t>(size);
}

int64_t RiffFile::seek(int64_t offset, int origin) {
    if (mFd == platform::kNoFile) return -1;
    int64_t base;
    if (origin == SEEK_SET) {
        base = 0;
    } else if (origin == SEEK_CUR) {
        base = tell();
    } else if (origin == SEEK_END) {
        int64_t size = 0;
        if (const int error = platform::fileSize(mFd, size); error != 0) {
            mLastError = error;
            return -1;
        }
        // Buffered bytes may reach past what the file holds yet.
        base = std::max<int64_t>(size, mDirty ? mBufferOffset + static_cast<int64_t>(mValid) : 0);
    } else {
        return -1;
    }
    int64_t target;
    if (__builtin_add_overflow(base, offset, &target) || target < 0) return -1;
    if (target >= mBufferOffset && target <= mBufferOffset + static_cast<int64_t>(mValid)) {
        mNext = static_cast<size_t>(target - mBufferOffset);
        return target;
    }
    if (!writeBack()) return -1;
    rebase(target);
    return target;
}

RiffResult RiffFile::getInfo(RiffBufferInfo& info) const {
    if (mFd == platform::kNoFile) return RiffResult::notOpen;
    info.dwFlags = mDirty ? kRiffDirty : 0;
    info.cchBuffer = static_cast<uint32_t>(mCapacity);
    info.pchBuffer = mBuffer.get();
    info.pchNext = mBuffer.get() + mNext;
    info.pchEndRead = mBuffer.get() + mValid;
    info.pchEndWrite = mBuffer.get() + (mWritable ? mCapacity : 0);
    info.lBufOffset = mBufferOffset;
    return RiffResult::ok;
}

// A record must describe our buffer; pchNext may only pass the valid bytes
// when the caller declares them written.
RiffResult RiffFile::checkInfo(const RiffBufferInfo& info) const {
    if (mFd == platform::kNoFile) return RiffResult::notOpen;
    // Compared as addresses: a stray pchNext need not point into the buffer.
    const auto begin = reinterpret_cast<uintptr_t>(mBuffer.get());
    const auto at = reinterpret_cast<uintptr_t>(info.pchNext);
    if (info.pchBuffer != mBuffer.get() || at < begin || at - begin > mCapacity) return RiffResult::invalidParam;
    const size_t next = at - begin;
    if (info.dwFlags & kRiffDirty) {
        if (!mWritable) return RiffResult::invalidParam;
    } else if (next > mValid) {
        return RiffResult::invalidParam;
    }
    return RiffResult::ok;
}

void RiffFile::commitInfo(const RiffBufferInfo& info) {
    mNext = static_cast<size_t>(info.pchNext - info.pchBuffer);
    if (info.dwFlags & kRiffDirty) {
        mValid = std::max(mValid, mNext);
        mDirty = true;
    }
}

RiffResult RiffFile::setInfo(const RiffBufferInfo& info) {
    const RiffResult check = checkInfo(info);
    if (check != RiffResult::ok) return check;
    commitInfo(info);
    return RiffResult::ok;
}

RiffResult RiffFile::advance(RiffBufferInfo& info, RiffAdvance direction) {
    const RiffResult check = checkInfo(info);
    if (check != RiffResult::ok) return check;
    if (direction == RiffAdvance::write && !mWritable) return RiffResult::cannotWrite;
    commitInfo(info);
    if (!writeBack()) return RiffResult::cannotWrite;
    rebase(tell());
    if (direction == RiffAdvance::read && !fill()) {
        getInfo(info);
        return RiffResult::cannotRead;
    }
    getInfo(info);
    return RiffResult::ok;
}

}  // namespace tw
