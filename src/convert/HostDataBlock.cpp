#include "convert/HostDataBlock.h"

#include <algorithm>
#include <cstring>

#include "convert/SampleConverter.h"
#include "core/ErrorCodes.h"
#include "host/HostData.h"
#include "host/HostRuntime.h"

namespace tw {

namespace {

constexpr uint64_t kDimensionBytes = 8;

// A dimension the host stored as negative has no samples.
uint32_t dimension(TwArrayHandle handle, int index) {
    return static_cast<uint32_t>(std::max(host::arrayDimension(handle, index), 0));
}

// 8 + a x b bytes, when the host's int32 size can hold it.
bool hostSize(uint64_t a, uint64_t b, int32_t& size) {
    if (a != 0 && b > (INT32_MAX - kDimensionBytes) / a) return false;
    size = static_cast<int32_t>(kDimensionBytes + a * b);
    return true;
}

void storeDimensions(TwArrayHandle handle, uint32_t rows, uint32_t columns) {
    const int32_t dims[2] = {static_cast<int32_t>(rows), static_cast<int32_t>(columns)};
    std::memcpy(*handle, dims, sizeof dims);
}

}  // namespace

HostDataBlock::HostDataBlock(TwArrayHandle handle, uint16_t typeCode, uint32_t channels,
                             uint32_t bytesPerSample) {
    setFormat(channels, bytesPerSample != 0 ? bytesPerSample : host::elementSize(typeCode));
    attach(handle, typeCode);
}

HostDataBlock::HostDataBlock(TwArrayHandle handle, uint16_t typeCode, uint32_t channels, uint32_t samples,
                             uint32_t bytesPerSample)
    : HostDataBlock(handle, typeCode, channels, bytesPerSample) {
    mResizeResult = attachAndResize(handle, typeCode, samples);
}

void HostDataBlock::setFormat(uint32_t channels, uint32_t bytesPerSample) {
    mChannels = channels;
    mBytesPerSample = bytesPerSample;
    mFrameBytes = channels * bytesPerSample;
}

void HostDataBlock::attach(TwArrayHandle handle, uint16_t typeCode) {
    mHandle = handle;
    mTypeCode = typeCode;
    mRows = handle != nullptr ? dimension(handle, 0) : 0;
    mColumns = handle != nullptr ? dimension(handle, 1) : 0;
    mBytesPerColumn = uint64_t{mRows} * static_cast<uint32_t>(host::elementSize(typeCode));
    mProgress = 0;
}

int32_t HostDataBlock::attachAndResize(TwArrayHandle handle, uint16_t typeCode, uint32_t samples) {
    attach(handle, typeCode);
    if (handle == nullptr) return err::kGeneric;
    // Sized in 64 bits: a size the host's int32 cannot hold is refused, never wrapped.
    const uint64_t columnBytes = uint64_t{mChannels} * static_cast<uint32_t>(host::elementSize(typeCode));
    int32_t size = 0;
    if (mChannels > INT32_MAX || samples > INT32_MAX || !hostSize(columnBytes, samples, size))
        return err::kNoMemory;
    const int32_t result = host::sizeHandle(reinterpret_cast<void**>(handle), size);
    if (result != 0) return result;
    if (*handle == nullptr) return err::kNoMemory;
    storeDimensions(handle, mChannels, samples);
    mRows = mChannels;
    mColumns = samples;
    mBytesPerColumn = columnBytes;
    return err::kOk;
}

void HostDataBlock::detach() {
    mHandle = nullptr;
    mRows = 0;
    mColumns = 0;
    mBytesPerColumn = 0;
    mProgress = 0;
}

int32_t HostDataBlock::copyToDevice(uint8_t* bytes, uint32_t count, uint32_t& framesMoved) {
    if (mHandle == nullptr || isComplete()) {
        framesMoved = 0;
        return err::kOk;
    }
    return convert(bytes, count, framesMoved, true);
}

int32_t HostDataBlock::copyFromDevice(const uint8_t* bytes, uint32_t count, uint32_t& framesMoved) {
    if (mColumns == 0) return err::kNoSamples;
    if (isComplete()) return err::kOk;
    // The converter only reads device bytes in this direction.
    return convert(const_cast<uint8_t*>(bytes), count, framesMoved, false);
}

int32_t HostDataBlock::convert(uint8_t* bytes, uint32_t count, uint32_t& framesMoved, bool toDevice) {
    const uint32_t frames = std::min(count / mFrameBytes, samplesRemaining());
    ConversionJob job;
    job.bytesPerSample = mBytesPerSample;
    job.channels = mChannels;
    job.device = bytes;
    job.deviceBytes = count;
    job.typeCode = mTypeCode;
    job.rows = mRows;
    job.columns = mColumns;
    job.hostElements = host::arrayElements(mHandle, 2);
    job.start = mProgress;
    job.frames = frames;
    job.direction = toDevice ? ConvertDirection::HostToDevice : ConvertDirection::DeviceToHost;
    const int32_t status = convertBlock(job);
    mProgress += frames;
    framesMoved = frames;
    return status;
}

int32_t HostDataBlock::finish() {
    if (mHandle == nullptr) return err::kArgument;
    int32_t size = 0;
    int32_t result = err::kNoMemory;
    if (hostSize(mBytesPerColumn, mProgress, size)) {
        if (uint8_t* elements = host::arrayElements(mHandle, 2); elements != nullptr && mProgress != mColumns) {
            const size_t es = static_cast<uint32_t>(host::elementSize(mTypeCode));
            const size_t rowBytes = es * mProgress;
            storeDimensions(mHandle, mRows, mProgress);
            for (size_t r = 1; r < mRows; ++r)
                std::memmove(elements + r * rowBytes, elements + r * mColumns * es, rowBytes);
        }
        result = host::sizeHandle(reinterpret_cast<void**>(mHandle), size);
    }
    detach();
    return result;
}

bool fitsHostBlock(TwArrayHandle handle, uint16_t typeCode) {
    if (handle == nullptr || *handle == nullptr) return true;
    int32_t size = 0;
    return hostSize(uint64_t{dimension(handle, 0)} * static_cast<uint32_t>(host::elementSize(typeCode)),
                    dimension(handle, 1), size);
}

bool hasData(TwArrayHandle handle) {
    return handle != nullptr && *handle != nullptr && host::arrayDimension(handle, 0) != 0 &&
           host::arrayDimension(handle, 1) != 0;
}

}  // namespace tw
