// Chunk operations of RiffFile: descend, ascend, createChunk.
#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "file/RiffFile.h"

namespace tw {

namespace {

constexpr uint64_t kMaxChunkSize = 0xFFFFFFFFu;
constexpr uint64_t kMaxOffset = static_cast<uint64_t>(INT64_MAX);

uint32_t load32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void store32(unsigned char* p, uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

bool isForm(FourCC id) {
    return id == kFourCCRiff || id == kFourCCList;
}

}  // namespace

// Reads one header at the current position; it must end by `limit`.
bool RiffFile::readHeader(RiffChunkInfo& ck, uint64_t limit) {
    const uint64_t start = static_cast<uint64_t>(tell());
    unsigned char header[8];
    if (start + 8 > limit || !readExact(header, 8)) return false;
    ck.ckid = load32(header);
    ck.cksize = load32(header + 4);
    ck.fccType = 0;
    ck.dwDataOffset = start + 8;
    ck.dwFlags = 0;
    if (isForm(ck.ckid)) {
        if (start + 12 > limit || !readExact(header, 4)) return false;
        ck.fccType = load32(header);
    }
    return true;
}

RiffResult RiffFile::descend(RiffChunkInfo& ck, const RiffChunkInfo* parent, uint32_t flags) {
    if (mFd < 0) return RiffResult::notOpen;
    if (flags == (kRiffFindChunk | kRiffFindRiff) || (flags & ~(kRiffFindChunk | kRiffFindRiff)) != 0) {
        return RiffResult::invalidParam;
    }
    const int64_t start = tell();
    // A parent's size may be anything the file claims; the search also ends
    // at the end of the file, where a header can no longer be read.
    const uint64_t limit = parent ? parent->dwDataOffset + parent->cksize : UINT64_MAX;
    for (;;) {
        RiffChunkInfo found;
        if (!readHeader(found, limit)) break;
        const bool match = flags == 0 ||
                           (flags == kRiffFindChunk && found.ckid == ck.ckid) ||
                           (flags == kRiffFindRiff && found.ckid == kFourCCRiff && found.fccType == ck.fccType);
        if (match) {
            ck = found;
            return RiffResult::ok;
        }
        const uint64_t next = found.dwDataOffset + found.cksize + (found.cksize & 1u);
        if (next > kMaxOffset || seek(static_cast<int64_t>(next), SEEK_SET) < 0) break;
    }
    seek(start, SEEK_SET);
    return RiffResult::chunkNotFound;
}

bool RiffFile::writeSizeField(uint64_t fieldOffset, uint32_t value) {
    const int64_t back = tell();
    unsigned char bytes[4];
    store32(bytes, value);
    if (seek(static_cast<int64_t>(fieldOffset), SEEK_SET) < 0) return false;
    const bool written = write(bytes, 4) == 4;
    return seek(back, SEEK_SET) == back && written;
}

RiffResult RiffFile::ascend(RiffChunkInfo& ck) {
    if (mFd < 0) return RiffResult::notOpen;
    if ((ck.dwFlags & kRiffDirty) == 0) {
        const uint64_t end = ck.dwDataOffset + ck.cksize + (ck.cksize & 1u);
        if (end > kMaxOffset || seek(static_cast<int64_t>(end), SEEK_SET) < 0) return RiffResult::cannotSeek;
        return RiffResult::ok;
    }
    if (!mWritable) return RiffResult::cannotWrite;
    const uint64_t end = static_cast<uint64_t>(tell());
    if (end < ck.dwDataOffset || ck.dwDataOffset < 8) return RiffResult::cannotSeek;
    const uint64_t size = end - ck.dwDataOffset;
    if (size > kMaxChunkSize) {
        // The size field cannot hold it; writing a wrapped size would
        // describe a different (and wrong) file.
        mLastError = EFBIG;
        return RiffResult::cannotWrite;
    }
    if (size != ck.cksize) {
        if (!writeSizeField(ck.dwDataOffset - 4, static_cast<uint32_t>(size))) return RiffResult::cannotWrite;
        ck.cksize = static_cast<uint32_t>(size);
    }
    if (size & 1u) {
        const char pad = 0;
        if (write(&pad, 1) != 1) return RiffResult::cannotWrite;
    }
    ck.dwFlags &= ~kRiffDirty;
    return RiffResult::ok;
}

RiffResult RiffFile::createChunk(RiffChunkInfo& ck, uint32_t flags) {
    if (mFd < 0) return RiffResult::notOpen;
    if ((flags & ~kRiffCreateRiff) != 0) return RiffResult::invalidParam;
    if (!mWritable) return RiffResult::cannotWrite;
    const int64_t start = tell();
    if (flags & kRiffCreateRiff) ck.ckid = kFourCCRiff;
    unsigned char header[12];
    store32(header, ck.ckid);
    store32(header + 4, ck.cksize);
    store32(header + 8, ck.fccType);
    const size_t length = (flags & kRiffCreateRiff) ? 12 : 8;
    if (write(header, length) != static_cast<int64_t>(length)) return RiffResult::cannotWrite;
    ck.dwDataOffset = static_cast<uint64_t>(start) + 8;
    ck.dwFlags = kRiffDirty;
    return RiffResult::ok;
}

}  // namespace tw
