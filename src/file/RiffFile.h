// Buffered file with RIFF chunk access: descend into chunks (optionally
// searching), create chunks, ascend out of them (patching the size of a chunk
// that was written), plain read/write/seek and direct access to the I/O buffer.
// One object is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "file/RiffTypes.h"
#include "platform/File.h"

namespace tw {

class RiffFile {
public:
    enum class Mode { read, createReadWrite };

    static constexpr uint32_t kDefaultBufferSize = 256 * 1024;

    RiffFile() = default;
    ~RiffFile();
    RiffFile(const RiffFile&) = delete;
    RiffFile& operator=(const RiffFile&) = delete;

    // Opens `path` for reading, or creates/truncates it for reading and
    // writing. Returns 0 or the errno of the failure (EISDIR for a directory).
    // A file opened for reading gets no more buffer than it holds (at least
    // a page).
    int open(const char* path, Mode mode, uint32_t bufferSize = kDefaultBufferSize);
    bool isOpen() const { return mFd != platform::kNoFile; }
    bool isWritable() const { return mWritable; }

    // Writes the buffer back and closes. The file is closed even when that
    // fails; the result then is cannotWrite and lastError() tells why.
    RiffResult close();

    // errno of the last failed system call (EFBIG, ENOSPC, EIO, ...).
    int lastError() const { return mLastError; }

    // Bytes transferred, fewer at the end of the file, or -1 on error (then
    // the position does not move). Large transfers bypass the buffer.
    int64_t read(void* dst, size_t size);
    int64_t write(const void* src, size_t size);

    // origin is SEEK_SET, SEEK_CUR or SEEK_END. Returns the new position or -1.
    int64_t seek(int64_t offset, int origin);
    int64_t tell() const { return mBufferOffset + static_cast<int64_t>(mNext); }

    // Reads the chunk header at the current position into `ck`, or with
    // kRiffFindChunk / kRiffFindRiff skips chunks until ck.ckid / a RIFF form
    // of ck.fccType is found. With a parent the search ends at the parent's
    // end. On success the position is at the chunk's data (behind the form
    // type for RIFF and LIST); on failure it is where it was.
    RiffResult descend(RiffChunkInfo& ck, const RiffChunkInfo* parent, uint32_t flags);

    // Leaves a chunk. One made by createChunk gets its size field corrected
    // to the bytes up to the current position and a 0 pad byte when that is
    // odd; one entered by descend is skipped with its pad byte.
    RiffResult ascend(RiffChunkInfo& ck);

    // Writes a chunk header (with kRiffCreateRiff a "RIFF" header with
    // ck.fccType) at the current position and marks `ck` dirty.
    RiffResult createChunk(RiffChunkInfo& ck, uint32_t flags);

    // Direct access to the I/O buffer; see RiffBufferInfo.
    RiffResult getInfo(RiffBufferInfo& info) const;
    RiffResult setInfo(const RiffBufferInfo& info);
    // Takes the caller's record back, writes the buffer if dirty and moves it
    // to the position at pchNext; for reading it is refilled from the file.
    // At the end of the file pchEndRead equals pchNext afterwards.
    RiffResult advance(RiffBufferInfo& info, RiffAdvance direction);

    RiffResult flush();

    // Forgets everything from `position` on: buffered bytes past it are
    // dropped and a longer file is cut there; the position moves there. Undoes
    // a write that failed part-way.
    RiffResult truncate(int64_t position);

private:
    RiffResult checkInfo(const RiffBufferInfo& info) const;
    void commitInfo(const RiffBufferInfo& info);
    bool writeBack();
    bool writeAt(const char* from, size_t size, int64_t offset);
    void reserveThrough(int64_t end);
    void releaseReserve();
    void rebase(int64_t offset);
    bool fill();
    bool readExact(void* dst, size_t size);
    bool writeSizeField(uint64_t fieldOffset, uint32_t value);
    bool readHeader(RiffChunkInfo& ck, uint64_t limit);

    platform::FileHandle mFd = platform::kNoFile;
    bool mWritable = false;
    int mLastError = 0;
    std::unique_ptr<char[]> mBuffer;
    size_t mCapacity = 0;
    int64_t mBufferOffset = 0;   // file offset of mBuffer[0]
    size_t mNext = 0;            // position inside the buffer
    size_t mValid = 0;           // bytes of the buffer that hold file data
    bool mDirty = false;         // [0, mValid) must be written back
    bool mReserving = false;     // keep reserving space ahead of the writes
    int64_t mReservedEnd = 0;    // file space reserved up to here
};

}  // namespace tw
