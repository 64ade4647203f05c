// A RIFF/WAVE file on the buffered chunk layer: its format block and its
// "data" chunk, read or written in bulk straight through the I/O buffer.
// Results are platform result values (0, or the negative hr:: values).
// One caller at a time.
#pragma once

#include <cstdint>
#include <memory>

#include "convert/WaveFormatRecord.h"
#include "file/RiffFile.h"

namespace tw {

inline constexpr FourCC kFourCCWave = makeFourCC('W', 'A', 'V', 'E');
inline constexpr FourCC kFourCCFmt = makeFourCC('f', 'm', 't', ' ');
inline constexpr FourCC kFourCCData = makeFourCC('d', 'a', 't', 'a');
inline constexpr FourCC kFourCCFact = makeFourCC('f', 'a', 'c', 't');

inline constexpr uint16_t kWaveFormatFloat = 3;
inline constexpr FormatGuid kSubtypeFloat = {
    0x00000003u, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};

class WavStream {
public:
    enum class Mode : uint32_t { closed = 0, reading = 1, writing = 2 };

    // Receives the data bytes of a read in pieces, each a whole number of
    // units except a final partial unit at the end of the data.
    class Sink {
    public:
        virtual void take(const uint8_t* bytes, uint32_t count) = 0;

    protected:
        ~Sink() = default;
    };

    // Produces the bytes of a write into the I/O buffer: at most `room`
    // bytes in whole units. Returns the bytes produced, 0 when it has no
    // more, or -1 to abandon the write.
    class Source {
    public:
        virtual int64_t produce(uint8_t* at, uint32_t room) = 0;

    protected:
        ~Source() = default;
    };

    WavStream() = default;
    ~WavStream() { close(); }
    WavStream(const WavStream&) = delete;
    WavStream& operator=(const WavStream&) = delete;

    bool isOpen() const { return mFile.isOpen(); }
    Mode mode() const { return mMode; }

    // ---- Reading ----
    // Opens, reads the header and finds the data chunk.
    int32_t openForReading(const char* path);
    // Back to the start of the data.
    int32_t rewind();
    // Takes up to `size` bytes of what is left of the data. The bytes count
    // as consumed even when the read fails part-way.
    int32_t read(uint64_t size, uint32_t unit, Sink& sink, uint64_t& bytesRead);
    // mode 0 from the start of the data, 1 back from its end, 2 from the
    // current position; the target is clamped to the data.
    int32_t seek(int32_t mode, int64_t byteOffset);
    uint32_t dataSize() const { return mDataSize; }
    uint32_t bytesLeft() const { return mBytesLeft; }
    uint32_t bytesConsumed() const { return mDataSize - mBytesLeft; }
    bool atEnd() const { return mBytesLeft == 0; }

    // The header's fields; zero until a format block was read or written.
    bool hasFormat() const { return mFormat != nullptr; }
    WaveFormatEx formatHeader() const;
    // The extensible SubFormat; false when the block has no room for it.
    bool subFormat(FormatGuid& out) const;

    // ---- Writing ----
    // Creates or truncates the file and writes the header (placeholder sizes)
    // and the start of the data chunk. `format` holds the record: 16 bytes
    // are written for PCM, 18 + cbSize otherwise.
    int32_t openForWriting(const char* path, const uint8_t* format, uint32_t formatBytes);
    // Appends `size` bytes from `source` (units never straddle the buffer)
    // and writes them to the file. On any failure, or when the source gives
    // up, the data is left as it was before the call.
    int32_t write(uint64_t size, uint32_t unit, Source& source, uint64_t& bytesWritten);

    // Closes; when writing, the sizes are patched first (finalising).
    int32_t close();

    // errno of the last failed file operation.
    int lastError() const { return mFile.lastError(); }

private:
    int32_t readHeader();
    // Bytes the file holds from the current position on; -1 on failure.
    int64_t bytesToEnd();
    int32_t writeHeader();
    int32_t startDataChunk();
    int32_t finalise();
    bool storeFormat(const uint8_t* bytes, uint32_t size);

    RiffFile mFile;
    std::unique_ptr<uint8_t[]> mFormat;
    uint32_t mFormatBytes = 0;
    RiffChunkInfo mChunk;
    RiffChunkInfo mRiff;
    uint32_t mDataSize = 0;
    uint32_t mBytesLeft = 0;
    Mode mMode = Mode::closed;
};

// errno of a failed create to the platform result the writer maps.
int32_t createErrorResult(int errnoValue);

}  // namespace tw
