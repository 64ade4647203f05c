// Tracks one host 2-D sample array (one row per channel, one column per frame)
// while it is played, captured, read or written: converts between it and the
// device or file bytes its owner hands in, counts the frames moved, and sizes
// the array through the host. It never owns sample memory and has no lock:
// owners serialise their calls.
#pragma once

#include <cstdint>

#include "tonewell/tonewell.h"

namespace tw {

class HostDataBlock {
public:
    // bytesPerSample 0 takes the host element size of typeCode.
    HostDataBlock(TwArrayHandle handle, uint16_t typeCode, uint32_t channels, uint32_t bytesPerSample);
    // As above, then attachAndResize(handle, typeCode, samples); its result is
    // kept in resizeResult().
    HostDataBlock(TwArrayHandle handle, uint16_t typeCode, uint32_t channels, uint32_t samples,
                  uint32_t bytesPerSample);

    HostDataBlock(const HostDataBlock&) = delete;
    HostDataBlock& operator=(const HostDataBlock&) = delete;

    // Replaces the device frame format; the array and progress stay.
    void setFormat(uint32_t channels, uint32_t bytesPerSample);

    // Refers to the array from now on, from its first column.
    void attach(TwArrayHandle handle, uint16_t typeCode);
    // attach, then resizes the array to channels x samples. Returns 42 for a
    // null handle, 2 for a size the host cannot hold, else the host's code.
    int32_t attachAndResize(TwArrayHandle handle, uint16_t typeCode, uint32_t samples);
    void detach();

    uint32_t channels() const { return mChannels; }
    uint32_t bytesPerSample() const { return mBytesPerSample; }
    uint32_t frameBytes() const { return mFrameBytes; }
    uint16_t typeCode() const { return mTypeCode; }
    uint32_t rows() const { return mRows; }
    uint32_t progress() const { return mProgress; }
    TwArrayHandle handle() const { return mHandle; }
    int32_t resizeResult() const { return mResizeResult; }

    uint32_t sampleCount() const { return mColumns; }
    uint32_t samplesRemaining() const { return mColumns - mProgress; }
    // Device bytes the rest of the array corresponds to.
    uint64_t bytesRemaining() const { return uint64_t{samplesRemaining()} * mFrameBytes; }
    bool isComplete() const { return mColumns == 0 || bytesRemaining() == 0; }

    // Moves as many whole frames as fit in `count` bytes and remain in the
    // array, from column progress() on. The conversion's code is returned and
    // progress advances by `framesMoved` even when it is nonzero.
    int32_t copyToDevice(uint8_t* bytes, uint32_t count, uint32_t& framesMoved);
    // As copyToDevice in the other direction. 61 for an array without samples;
    // framesMoved is left alone when nothing was due.
    int32_t copyFromDevice(const uint8_t* bytes, uint32_t count, uint32_t& framesMoved);

    // Shrinks the array to the columns filled so far and detaches. Returns 1
    // without an array, else the host's resize code.
    int32_t finish();

private:
    int32_t convert(uint8_t* bytes, uint32_t count, uint32_t& framesMoved, bool toDevice);

    uint32_t mBytesPerSample = 0;
    uint32_t mChannels = 0;
    uint32_t mFrameBytes = 0;

    uint32_t mRows = 0;
    uint32_t mColumns = 0;
    uint16_t mTypeCode = 0;
    uint64_t mBytesPerColumn = 0;
    TwArrayHandle mHandle = nullptr;

    uint32_t mProgress = 0;
    int32_t mResizeResult = 0;
};

// True when the handle, its block and both dimension sizes are nonzero.
bool hasData(TwArrayHandle handle);

// False for an array whose dimensions describe more elements of the type
// than any host block can hold (its size is an int32): the block behind it
// is smaller than it says, and reading it would run past its end.
bool fitsHostBlock(TwArrayHandle handle, uint16_t typeCode);

}  // namespace tw
