// What the AVX2 kernel families share: unaligned loads and stores, plane
// values in int32 lanes to and from device bytes, and the portable tails.
// Included only by SimdKernelsAvx2.cpp (through the family headers).
//
// Kernels copy the two row pointers into a local `row` first: their byte
// stores may alias the caller's array, which would reload them every step.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "convert/SampleKernels.h"
#include "convert/SimdKernels.h"

#define TW_AVX2 __attribute__((target("avx2,fma")))

namespace tw::convert::avx2 {

// Frames per step of the kernels in int32 lanes.
constexpr size_t kStep = 8;

// ---- Unaligned access.

TW_AVX2 inline __m256i load256(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
TW_AVX2 inline __m128i load128(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
TW_AVX2 inline __m128i load64(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
TW_AVX2 inline void store256(uint8_t* p, __m256i v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
TW_AVX2 inline void store128(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
TW_AVX2 inline void store64(uint8_t* p, __m128i v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v); }

// The same byte table in both 128-bit lanes (pshufb works per lane).
#define TW_LANES(...) _mm256_setr_epi8(__VA_ARGS__, __VA_ARGS__)

// ---- Eight plane values in int32 lanes to device bytes.
//
// 24-bit samples are bytes First..First+2 of each lane: 1 for full-scale
// values, 0 for values already shifted down. Their stores write 8 bytes past
// the samples when `roomAfter` says the next step's bytes follow.

template <int First> TW_AVX2 inline __m256i pack24(__m256i v) {
    const __m256i pick =
        TW_LANES(First, First + 1, First + 2, First + 4, First + 5, First + 6, First + 8, First + 9, First + 10,
                 First + 12, First + 13, First + 14, -1, -1, -1, -1);
    // 12 bytes per lane, then the two runs side by side.
    return _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(v, pick), _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
}

template <int First = 1> TW_AVX2 inline void store24(uint8_t* out, __m256i v, bool roomAfter) {
    const __m256i bytes = pack24<First>(v);
    if (roomAfter) {
        store256(out, bytes);
    } else {
        store128(out, _mm256_castsi256_si128(bytes));
        store64(out + 16, _mm256_extracti128_si256(bytes, 1));
    }
}

// One channel: eight samples in order.
template <int W, int First = 1> TW_AVX2 inline void storeMono(uint8_t* out, __m256i v, bool roomAfter) {
    if constexpr (W == 4) {
        store256(out, v);
    } else if constexpr (W == 3) {
        store24<First>(out, v, roomAfter);
    } else {
        const __m128i words = _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        if constexpr (W == 2) store128(out, words);
        else store64(out, _mm_packus_epi16(words, words));
    }
}

// Two channels, a left and b right: eight frames.
template <int W, int First = 1> TW_AVX2 inline void storeStereo(uint8_t* out, __m256i a, __m256i b, bool roomAfter) {
    if constexpr (W >= 3) {
        // Frames 0..3 and 4..7, each as eight int32 lanes.
        const __m256i l = _mm256_permute4x64_epi64(a, 0xD8), r = _mm256_permute4x64_epi64(b, 0xD8);
        const __m256i first = _mm256_unpacklo_epi32(l, r), second = _mm256_unpackhi_epi32(l, r);
        if constexpr (W == 4) {
            store256(out, first);
            store256(out + 32, second);
        } else {
            store24<First>(out, first, true);
            store24<First>(out + 24, second, roomAfter);
        }
    } else {
        // Per lane: four left words, four right words, then interleaved.
        const __m256i words = _mm256_packs_epi32(a, b);
        if constexpr (W == 2) {
            store256(out, _mm256_shuffle_epi8(words, TW_LANES(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15)));
        } else {
            const __m256i bytes = _mm256_shuffle_epi8(_mm256_packus_epi16(words, words),
                                                      TW_LANES(0, 4, 1, 5, 2, 6, 3, 7, -1, -1, -1, -1, -1, -1, -1, -1));
            store128(out, _mm256_castsi256_si128(_mm256_permute4x64_epi64(bytes, 0x08)));
        }
    }
}

// ---- Byte shuffles from tables built where each output byte comes from.

using LaneTable = std::array<int8_t, 32>;

// `source(lane, o)`: the byte of the same 128-bit lane that output byte o
// takes, or -1 for a zero byte.
template <class F> constexpr LaneTable makeLaneTable(F source) {
    LaneTable t{};
    for (int lane = 0; lane < 2; ++lane)
        for (int o = 0; o < 16; ++o) t[static_cast<size_t>(lane * 16 + o)] = static_cast<int8_t>(source(lane, o));
    return t;
}

TW_AVX2 inline __m256i shuffle(__m256i v, const LaneTable& t) {
    return _mm256_shuffle_epi8(v, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(t.data())));
}

// ---- Device bytes to eight plane values in int32 lanes.

// 8- and 16-bit samples of channel c of eight frames, one shuffle each: into
// the top of the lane with the 8-bit top bit flipped (full-scale values), or
// for 8 bits as the plain byte value. The shuffles read one 16-byte run (in
// both lanes) or, for 16-bit stereo, 32 bytes whose lanes hold four frames.
template <int W, int C, bool FullScale> constexpr LaneTable narrowToLanesTable(int c) {
    return makeLaneTable([c](int lane, int o) {
        const int j = o / 4, k = o % 4;                   // lane dword j, byte k
        const int first = FullScale ? 4 - W : 0;          // where the sample's bytes go
        if (k < first || k >= first + W) return -1;
        const int frame = (W == 2 && C == 2 ? 0 : lane * 4) + j;
        return (frame * C + c) * W + (k - first);
    });
}

template <int W, int C, bool FullScale> struct NarrowToLanes {
    static constexpr LaneTable table[2] = {narrowToLanesTable<W, C, FullScale>(0), narrowToLanesTable<W, C, FullScale>(1)};
};

template <int W, int C, bool FullScale = true>
TW_AVX2 inline void loadNarrowLanes(const uint8_t* in, __m256i* lanes) {
    __m256i bytes;
    if constexpr (W * C == 4) bytes = load256(in);  // 16-bit stereo
    else if constexpr (W * C == 2) bytes = _mm256_broadcastsi128_si256(load128(in));
    else bytes = _mm256_broadcastq_epi64(load64(in));
    for (int c = 0; c < C; ++c) {
        lanes[c] = shuffle(bytes, NarrowToLanes<W, C, FullScale>::table[c]);
        if constexpr (W == 1 && FullScale) lanes[c] = _mm256_xor_si256(lanes[c], _mm256_set1_epi32(INT32_MIN));
    }
}


// Eight 24-bit samples, the 24 bytes at base + offset: samples 0..3 at bytes
// 4..15 of lane 0, samples 4..7 at bytes 0..11 of lane 1. One load does it,
// reaching 4 bytes beyond the samples on either side; at the edges of the
// `total` bytes two loads read only the samples.
TW_AVX2 inline __m256i load24(const uint8_t* base, size_t offset, size_t total) {
    const uint8_t* in = base + offset;
    if (offset >= 4 && offset + 28 <= total) return load256(in - 4);
    return _mm256_set_m128i(_mm_srli_si128(load128(in + 8), 4), _mm_slli_si128(load128(in), 4));
}

template <int W> TW_AVX2 inline __m256i loadMono(const uint8_t* base, size_t offset, size_t total) {
    const uint8_t* in = base + offset;
    if constexpr (W == 1) {
        return _mm256_cvtepu8_epi32(load64(in));
    } else if constexpr (W == 2) {
        return _mm256_cvtepi16_epi32(load128(in));
    } else if constexpr (W == 3) {
        return _mm256_shuffle_epi8(load24(base, offset, total),
                                   _mm256_setr_epi8(-1, 4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15,  //
                                                    -1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11));
    } else {
        return load256(in);
    }
}

// Eight frames: left samples into a, right into b.
template <int W> TW_AVX2 inline void loadStereo(const uint8_t* base, size_t offset, size_t total, __m256i& a, __m256i& b) {
    if constexpr (W == 3) {
        // Frames 0-1 and 4-5 in one register, 2-3 and 6-7 in the other, each
        // lane split in place into two left and two right samples: in-lane
        // unpacks then finish. The four loads stay within the 48 bytes.
        const uint8_t* in = base + offset;
        // Output dword j of a lane: left of frame 0, left of frame 1, right of 0, right of 1.
        const __m256i pick = TW_LANES(-1, 0, 1, 2, -1, 6, 7, 8, -1, 3, 4, 5, -1, 9, 10, 11);
        const __m256i pickHigh = _mm256_setr_epi8(-1, 0, 1, 2, -1, 6, 7, 8, -1, 3, 4, 5, -1, 9, 10, 11,  //
                                                  -1, 4, 5, 6, -1, 10, 11, 12, -1, 7, 8, 9, -1, 13, 14, 15);
        const __m256i s0 = _mm256_shuffle_epi8(
            _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(in + 24), reinterpret_cast<const __m128i*>(in)), pick);
        const __m256i s1 = _mm256_shuffle_epi8(
            _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(in + 32), reinterpret_cast<const __m128i*>(in + 12)),
            pickHigh);
        a = _mm256_unpacklo_epi64(s0, s1);
        b = _mm256_unpackhi_epi64(s0, s1);
    } else {
        const __m256i odd = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
        const __m256i t0 = _mm256_permutevar8x32_epi32(loadMono<W>(base, offset, total), odd);
        const __m256i t1 = _mm256_permutevar8x32_epi32(loadMono<W>(base, offset + 8 * W, total), odd);
        a = _mm256_permute2x128_si256(t0, t1, 0x20);
        b = _mm256_permute2x128_si256(t0, t1, 0x31);
    }
}

// ---- Frames after the last whole step, through the portable loops.

constexpr size_t kMaxTail = 32;

template <class H, int W, int C>
int tailToDevice(uint8_t* const* rows, uint8_t* out, size_t i, size_t n) {
    alignas(32) uint8_t temp[C][kMaxTail * sizeof(Plane<W>)];
    const uint8_t* planes[C];
    int clipped = 0;
    for (; i < n; i += kMaxTail) {
        const size_t rest = std::min(n - i, kMaxTail);
        for (int c = 0; c < C; ++c) {
            clipped |= tw::convert::hostToPlane<H, W>(rows[c] + i * sizeof(H), temp[c], rest);
            planes[c] = temp[c];
        }
        pack<W, C>(planes, out + i * C * W, rest);
    }
    return clipped;
}

template <class H, int W, int C>
int tailFromDevice(uint8_t* const* rows, const uint8_t* in, size_t i, size_t n) {
    alignas(32) uint8_t temp[C][kMaxTail * sizeof(Plane<W>)];
    uint8_t* planes[C];
    for (int c = 0; c < C; ++c) planes[c] = temp[c];
    for (; i < n; i += kMaxTail) {
        const size_t rest = std::min(n - i, kMaxTail);
        unpack<W, C>(in + i * C * W, planes, rest);
        for (int c = 0; c < C; ++c) planeToHost<W, H>(temp[c], rows[c] + i * sizeof(H), rest);
    }
    return 0;
}

}  // namespace tw::convert::avx2
