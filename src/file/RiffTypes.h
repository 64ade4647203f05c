// Records, flags and result values of the buffered RIFF chunk file.
#pragma once

#include <cstdint>

namespace tw {

using FourCC = uint32_t;

// Chunk ids are stored as four bytes in file order, read little-endian.
constexpr FourCC makeFourCC(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}

inline constexpr FourCC kFourCCRiff = makeFourCC('R', 'I', 'F', 'F');
inline constexpr FourCC kFourCCList = makeFourCC('L', 'I', 'S', 'T');

// Flags of descend, createChunk, the chunk record and the buffer record.
inline constexpr uint32_t kRiffFindChunk = 0x10;     // descend: search ckid
inline constexpr uint32_t kRiffFindRiff = 0x20;      // descend: search a RIFF form of fccType
inline constexpr uint32_t kRiffCreateRiff = 0x20;    // createChunk: write a RIFF form header
inline constexpr uint32_t kRiffDirty = 0x10000000;   // chunk being written / buffer modified

// Direction of advance.
enum class RiffAdvance : uint32_t { read = 0, write = 1 };

// Results of the chunk and buffer operations; the values are those of the
// multimedia I/O errors they stand for.
enum class RiffResult : int32_t {
    ok = 0,
    notOpen = 5,           // no file open (invalid handle)
    invalidParam = 11,     // bad flags or a buffer record that is not ours
    outOfMemory = 258,
    cannotRead = 262,
    cannotSeek = 263,
    cannotWrite = 264,     // includes a chunk grown past the 32-bit size field
    chunkNotFound = 265,
};

// One chunk: id, size of its data, form type (RIFF and LIST chunks), file
// offset of its data (the form type for a form) and kRiffDirty while it is
// being written. Offsets are 64-bit: a 4 GiB chunk ends past 32 bits.
struct RiffChunkInfo {
    FourCC ckid = 0;
    uint32_t cksize = 0;
    FourCC fccType = 0;
    uint64_t dwDataOffset = 0;
    uint32_t dwFlags = 0;
};

// The I/O buffer as handed out for direct access. The caller reads bytes in
// [pchNext, pchEndRead) or writes bytes in [pchNext, pchEndWrite), moves
// pchNext, sets kRiffDirty in dwFlags after writing and hands the record back
// with setInfo or advance.
struct RiffBufferInfo {
    uint32_t dwFlags = 0;
    uint32_t cchBuffer = 0;
    char* pchBuffer = nullptr;
    char* pchNext = nullptr;
    char* pchEndRead = nullptr;
    char* pchEndWrite = nullptr;
    int64_t lBufOffset = 0;   // file offset of pchBuffer
};

}  // namespace tw
