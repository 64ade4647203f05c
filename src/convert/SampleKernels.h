// The loops of the converters: contiguous row conversions between host
// elements and plane values, and the interleaving of planes into PCM frames.
// Each is a template instantiated per format pair, so every inner loop is
// straight-line code the compiler can vectorise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "convert/SampleMath.h"

namespace tw::convert {

// n host elements of type H -> n plane values of width W. Returns nonzero
// when a float sample had to be clipped.
// The loops stay out of line: one call per block costs nothing, and the
// callers stay small.
template <class H, int W>
[[gnu::noinline]] int hostToPlane(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t n) {
    using P = Plane<W>;
    if constexpr (std::is_floating_point_v<H>) {
        int clipped = 0;
        for (size_t i = 0; i < n; ++i) {
            const double x = clipUnit(static_cast<double>(load<H>(src + i * sizeof(H))), clipped);
            store<P>(dst + i * sizeof(P), fromUnit<W>(x));
        }
        return clipped;
    } else {
        for (size_t i = 0; i < n; ++i)
            store<P>(dst + i * sizeof(P), fromFullScale<P>(toFullScale(load<H>(src + i * sizeof(H)))));
        return 0;
    }
}

// n plane values of width W -> n host elements of type H. Device samples map
// into [-1, 1], so nothing is clipped on this side.
template <int W, class H>
[[gnu::noinline]] void planeToHost(const uint8_t* __restrict src, uint8_t* __restrict dst, size_t n) {
    using P = Plane<W>;
    for (size_t i = 0; i < n; ++i) {
        const P v = load<P>(src + i * sizeof(P));
        if constexpr (std::is_floating_point_v<H>)
            store<H>(dst + i * sizeof(H), static_cast<H>(toUnit<W>(v)));
        else
            store<H>(dst + i * sizeof(H), fromFullScale<H>(toFullScale(v)));
    }
}

// C planes of n values -> n interleaved frames of C samples.
template <int W, int C>
[[gnu::noinline]] void pack(const uint8_t* const* planes, uint8_t* __restrict out, size_t n) {
    using P = Plane<W>;
    const uint8_t* p[C];
    for (int c = 0; c < C; ++c) p[c] = planes[c];
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < C; ++c)
            storeSample<W>(out + (i * C + c) * W, load<P>(p[c] + i * sizeof(P)));
}

// n interleaved frames of C samples -> C planes.
template <int W, int C>
[[gnu::noinline]] void unpack(const uint8_t* __restrict in, uint8_t* const* planes, size_t n) {
    using P = Plane<W>;
    uint8_t* p[C];
    for (int c = 0; c < C; ++c) p[c] = planes[c];
    for (size_t i = 0; i < n; ++i)
        for (int c = 0; c < C; ++c)
            store<P>(p[c] + i * sizeof(P), loadSample<W>(in + (i * C + c) * W));
}

// One plane into (or out of) every `stride`-th sample, for any channel count.
template <int W>
[[gnu::noinline]] void packStrided(const uint8_t* __restrict plane, uint8_t* __restrict out, size_t stride, size_t n) {
    for (size_t i = 0; i < n; ++i) storeSample<W>(out + i * stride, load<Plane<W>>(plane + i * sizeof(Plane<W>)));
}
template <int W>
[[gnu::noinline]] void unpackStrided(const uint8_t* __restrict in, uint8_t* __restrict plane, size_t stride, size_t n) {
    for (size_t i = 0; i < n; ++i) store<Plane<W>>(plane + i * sizeof(Plane<W>), loadSample<W>(in + i * stride));
}

}  // namespace tw::convert
