#include "file/RiffFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

namespace tw {

static_assert(sizeof(off_t) == 8, "file offsets must be 64-bit");

RiffFile::~RiffFile() {
    close();
}

int RiffFile::open(const char* path, Mode mode, uint32_t bufferSize) {
    close();
    mLastError = 0;
    if (path == nullptr || path[0] == '\0') return ENOENT;
    if (bufferSize < 16) bufferSize = 16;

    const bool writable = mode == Mode::createReadWrite;
    // No O_TRUNC: ext4 flushes a file truncated at open when it is closed,
    // which would stall every close of a file the writer just created empty.
    const int flags = writable ? (O_RDWR | O_CREAT | O_CLOEXEC) : (O_RDONLY | O_CLOEXEC);
    int fd;
    do {
        fd = ::open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return errno;
    struct stat st;
    int statError = fstat(fd, &st) != 0 ? errno : 0;
    if (statError == 0 && S_ISDIR(st.st_mode)) statError = EISDIR;
    if (statError == 0 && writable && S_ISREG(st.st_mode) && st.st_size > 0 && ::ftruncate(fd, 0) != 0)
        statError = errno;
    // A file read needs no more buffer than it holds, in whole pages.
    if (statError == 0 && !writable && S_ISREG(st.st_mode)) {
        const uint64_t pages = (static_cast<uint64_t>(st.st_size) + 4095) / 4096 * 4096;
        bufferSize = static_cast<uint32_t>(std::min<uint64_t>(bufferSize, std::max<uint64_t>(pages, 4096)));
    }
    std::unique_ptr<char[]> buffer;
    if (statError == 0) {
        buffer.reset(new (std::nothrow) char[bufferSize]);
        if (!buffer) statError = ENOMEM;
    }
    if (statError != 0) {
        ::close(fd);
        return statError;
    }
    mFd = fd;
    mWritable = writable;
    mBuffer = std::move(buffer);
    mCapacity = bufferSize;
    mReserving = writable;
    mReservedEnd = 0;
    rebase(0);
    return 0;
}

RiffResult RiffFile::close() {
    if (mFd < 0) return RiffResult::notOpen;
    const bool written = writeBack();
    releaseReserve();
    const bool closed = ::close(mFd) == 0 || errno == EINTR;
    if (!closed) mLastError = errno;
    mFd = -1;
    mWritable = false;
    mBuffer.reset();
    mCapacity = 0;
    mDirty = false;
    mBufferOffset = 0;
    mNext = mValid = 0;
    return written && closed ? RiffResult::ok : RiffResult::cannotWrite;
}

RiffResult RiffFile::flush() {
    if (mFd < 0) return RiffResult::notOpen;
    return writeBack() ? RiffResult::ok : RiffResult::cannotWrite;
}

RiffResult RiffFile::truncate(int64_t position) {
    if (mFd < 0) return RiffResult::notOpen;
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
    struct stat st;
    if (fstat(mFd, &st) != 0) {
        mLastError = errno;
        return RiffResult::cannotWrite;
    }
    if (st.st_size > position) {
        int rc;
        do {
            rc = ::ftruncate(mFd, position);
        } while (rc != 0 && errno == EINTR);
        if (rc != 0) {
            mLastError = errno;
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
        const ssize_t n = ::pwrite(mFd, from + done, size - done, offset + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            mLastError = n < 0 ? errno : EIO;
            return false;
        }
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
    if (::fallocate(mFd, FALLOC_FL_KEEP_SIZE, mReservedEnd, to - mReservedEnd) != 0) {
        mReserving = false;
        return;
    }
    mReservedEnd = to;
}

// Frees reserved space past the end of the file.
void RiffFile::releaseReserve() {
    struct stat st;
    if (mReservedEnd > 0 && fstat(mFd, &st) == 0 && st.st_size < mReservedEnd) {
        int rc;
        do {
            rc = ::ftruncate(mFd, st.st_size);
        } while (rc != 0 && errno == EINTR);
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
        const ssize_t n = ::pread(mFd, mBuffer.get() + got, mCapacity - got, mBufferOffset + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            mLastError = errno;
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
    if (mFd < 0 || (dst == nullptr && size > 0)) return -1;
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
            const ssize_t n = ::pread(mFd, out + buffered + got, remaining - got, resume + static_cast<off_t>(got));
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                mLastError = errno;
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
    if (mFd < 0 || !mWritable || (src == nullptr && size > 0)) return -1;
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
    if (mFd < 0) return -1;
    int64_t base;
    if (origin == SEEK_SET) {
        base = 0;
    } else if (origin == SEEK_CUR) {
        base = tell();
    } else if (origin == SEEK_END) {
        struct stat st;
        if (fstat(mFd, &st) != 0) {
            mLastError = errno;
            return -1;
        }
        // Buffered bytes may reach past what the file holds yet.
        base = std::max<int64_t>(st.st_size, mDirty ? mBufferOffset + static_cast<int64_t>(mValid) : 0);
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
    if (mFd < 0) return RiffResult::notOpen;
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
    if (mFd < 0) return RiffResult::notOpen;
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
