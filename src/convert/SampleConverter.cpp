#include "convert/SampleConverter.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "convert/SampleKernels.h"
#include "convert/SampleTypes.h"
#include "convert/SimdKernels.h"
#include "core/ErrorCodes.h"
#include "tonewell/tonewell.h"

namespace tw {

namespace {

using namespace tw::convert;

// Frames converted per pass: the planes of one pass stay in L1.
constexpr size_t kBlockFrames = 256;

// A host type whose elements already are the plane values of width W needs
// only interleaving.
template <class H, int W> constexpr bool kDirect = std::is_same_v<H, Plane<W>>;

template <class H>
const uint8_t* hostRow(const ConversionJob& j, uint32_t row) {
    return j.hostElements + (size_t{row} * j.columns + j.start) * sizeof(H);
}

template <class H, int W, int C>
int hostToDeviceFixed(const ConversionJob& j) {
    using P = Plane<W>;
    const uint32_t used = std::min<uint32_t>(j.rows, C);
    const uint8_t* row[C];
    for (int c = 0; c < C; ++c) row[c] = hostRow<H>(j, std::min<uint32_t>(c, used - 1));
    alignas(64) uint8_t temp[kDirect<H, W> ? 1 : C][kBlockFrames * sizeof(P)];
    int clipped = 0;
    for (size_t done = 0; done < j.frames; done += kBlockFrames) {
        const size_t n = std::min<size_t>(kBlockFrames, j.frames - done);
        uint8_t* out = j.device + done * C * W;
        const uint8_t* planes[C];
        if constexpr (C == 1 && kDirect<H, W> && W != 3) {
            std::memcpy(out, row[0] + done * sizeof(H), n * W);
            continue;
        } else if constexpr (C == 1 && W != 3) {
            clipped |= hostToPlane<H, W>(row[0] + done * sizeof(H), out, n);
            continue;
        } else if constexpr (kDirect<H, W>) {
            for (int c = 0; c < C; ++c) planes[c] = row[c] + done * sizeof(H);
        } else {
            for (uint32_t c = 0; c < used; ++c) clipped |= hostToPlane<H, W>(row[c] + done * sizeof(H), temp[c], n);
            for (uint32_t c = 0; c < C; ++c) planes[c] = temp[std::min(c, used - 1)];
        }
        pack<W, C>(planes, out, n);
    }
    return clipped;
}

template <class H, int W>
int hostToDeviceAny(const ConversionJob& j) {
    using P = Plane<W>;
    const size_t stride = size_t{j.channels} * W;
    alignas(64) uint8_t temp[kBlockFrames * sizeof(P)];
    int clipped = 0;
    for (uint32_t c = 0; c < j.channels; ++c) {
        const uint8_t* row = hostRow<H>(j, std::min(c, j.rows - 1));
        for (size_t done = 0; done < j.frames; done += kBlockFrames) {
            const size_t n = std::min<size_t>(kBlockFrames, j.frames - done);
            const uint8_t* plane = row + done * sizeof(H);
            if constexpr (!kDirect<H, W>) {
                clipped |= hostToPlane<H, W>(plane, temp, n);
                plane = temp;
            }
            packStrided<W>(plane, j.device + done * stride + size_t{c} * W, stride, n);
        }
    }
    return clipped;
}

template <class H, int W, int C>
void deviceToHostFixed(const ConversionJob& j) {
    using P = Plane<W>;
    const uint32_t used = std::min<uint32_t>(j.rows, C);
    uint8_t* row[C] = {};
    for (uint32_t c = 0; c < used; ++c) row[c] = const_cast<uint8_t*>(hostRow<H>(j, c));
    alignas(64) uint8_t temp[C][kBlockFrames * sizeof(P)];
    for (size_t done = 0; done < j.frames; done += kBlockFrames) {
        const size_t n = std::min<size_t>(kBlockFrames, j.frames - done);
        const uint8_t* in = j.device + done * C * W;
        if constexpr (C == 1 && kDirect<H, W> && W != 3) {
            std::memcpy(row[0] + done * sizeof(H), in, n * W);
        } else if constexpr (C == 1 && W != 3) {
            planeToHost<W, H>(in, row[0] + done * sizeof(H), n);
        } else {
            // Channels without a row are unpacked into scratch and dropped.
            uint8_t* planes[C];
            for (uint32_t c = 0; c < C; ++c)
                planes[c] = kDirect<H, W> && c < used ? row[c] + done * sizeof(H) : temp[c];
            unpack<W, C>(in, planes, n);
            if constexpr (!kDirect<H, W>)
                for (uint32_t c = 0; c < used; ++c) planeToHost<W, H>(temp[c], row[c] + done * sizeof(H), n);
        }
    }
}

template <class H, int W>
void deviceToHostAny(const ConversionJob& j) {
    using P = Plane<W>;
    const size_t stride = size_t{j.channels} * W;
    const uint32_t used = std::min(j.rows, j.channels);
    alignas(64) uint8_t temp[kBlockFrames * sizeof(P)];
    for (uint32_t c = 0; c < used; ++c) {
        uint8_t* row = const_cast<uint8_t*>(hostRow<H>(j, c));
        for (size_t done = 0; done < j.frames; done += kBlockFrames) {
            const size_t n = std::min<size_t>(kBlockFrames, j.frames - done);
            const uint8_t* in = j.device + done * stride + size_t{c} * W;
            if constexpr (kDirect<H, W>) {
                unpackStrided<W>(in, row + done * sizeof(H), stride, n);
            } else {
                unpackStrided<W>(in, temp, stride, n);
                planeToHost<W, H>(temp, row + done * sizeof(H), n);
            }
        }
    }
}

template <class H, int W>
int hostToDevice(const ConversionJob& j) {
    if (j.channels <= 2) {
        if (const SimdConverter simd = findSimdConverter(j.typeCode, W, j.channels, Direction::toDevice)) {
            uint8_t* rows[2] = {const_cast<uint8_t*>(hostRow<H>(j, 0)),
                                const_cast<uint8_t*>(hostRow<H>(j, std::min(1u, j.rows - 1)))};
            return simd(rows, j.device, j.frames);
        }
    }
    switch (j.channels) {
        case 1: return hostToDeviceFixed<H, W, 1>(j);
        case 2: return hostToDeviceFixed<H, W, 2>(j);
        case 3: return hostToDeviceFixed<H, W, 3>(j);
        case 4: return hostToDeviceFixed<H, W, 4>(j);
        case 6: return hostToDeviceFixed<H, W, 6>(j);
        case 8: return hostToDeviceFixed<H, W, 8>(j);
        default: return hostToDeviceAny<H, W>(j);
    }
}

template <class H, int W>
int deviceToHost(const ConversionJob& j) {
    if (j.channels <= 2 && j.rows >= j.channels) {
        if (const SimdConverter simd = findSimdConverter(j.typeCode, W, j.channels, Direction::fromDevice)) {
            uint8_t* rows[2] = {const_cast<uint8_t*>(hostRow<H>(j, 0)),
                                const_cast<uint8_t*>(hostRow<H>(j, j.channels - 1))};
            return simd(rows, j.device, j.frames);
        }
    }
    switch (j.channels) {
        case 1: deviceToHostFixed<H, W, 1>(j); break;
        case 2: deviceToHostFixed<H, W, 2>(j); break;
        case 3: deviceToHostFixed<H, W, 3>(j); break;
        case 4: deviceToHostFixed<H, W, 4>(j); break;
        case 6: deviceToHostFixed<H, W, 6>(j); break;
        case 8: deviceToHostFixed<H, W, 8>(j); break;
        default: deviceToHostAny<H, W>(j); break;
    }
    return 0;
}

using Converter = int (*)(const ConversionJob&);

template <class H>
Converter pick(uint32_t width, ConvertDirection direction) {
    const bool toDevice = direction == ConvertDirection::HostToDevice;
    switch (width) {
        case 1: return toDevice ? hostToDevice<H, 1> : deviceToHost<H, 1>;
        case 2: return toDevice ? hostToDevice<H, 2> : deviceToHost<H, 2>;
        case 3: return toDevice ? hostToDevice<H, 3> : deviceToHost<H, 3>;
        case 4: return toDevice ? hostToDevice<H, 4> : deviceToHost<H, 4>;
        default: return nullptr;
    }
}

Converter pickConverter(uint16_t typeCode, uint32_t width, ConvertDirection direction) {
    return withSampleType(typeCode, Converter{}, [&](auto h) { return pick<decltype(h)>(width, direction); });
}

}  // namespace

bool isSampleType(uint16_t typeCode) {
    return withSampleType(typeCode, false, [](auto) { return true; });
}

int32_t convertBlock(const ConversionJob& job) {
    const Converter convert = pickConverter(job.typeCode, job.bytesPerSample, job.direction);
    if (convert == nullptr) return err::kGeneric;
    if (job.frames == 0 || job.channels == 0) return err::kOk;
    // Refuse a job that would reach outside its array or bytes.
    const uint64_t deviceNeeded = uint64_t{job.frames} * job.channels * job.bytesPerSample;
    if (job.rows == 0 || job.hostElements == nullptr || job.device == nullptr ||
        uint64_t{job.start} + job.frames > job.columns || deviceNeeded > job.deviceBytes)
        return err::kGeneric;
    return convert(job) != 0 ? err::kWarnClipped : err::kOk;
}

}  // namespace tw
