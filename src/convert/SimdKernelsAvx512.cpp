// AVX-512 kernels for the pairs where they beat the AVX2 ones: float and
// 32-bit hosts to narrower device widths, 8-bit devices to double hosts, 8-
// or 16-bit hosts with 24-bit devices, 24-bit devices to 32-bit hosts, and
// 8-bit hosts from 16- and 32-bit devices. Byte permutes (VBMI) place samples and
// the zero bytes of 24-bit frames in one instruction per 64 output bytes.
// Double samples are clipped and scaled in double precision exactly as the
// portable loops do (no fused multiply-add); single samples for 8- to 24-bit
// devices in single precision with rounding toward zero, which gives the same
// bits.
// Frames after the last whole step go to the AVX2 kernel of the same pair.
#include "convert/SimdKernels.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <type_traits>

#include "convert/SampleMath.h"
#include "convert/SampleTypes.h"
#include "tonewell/tonewell.h"

#if defined(__x86_64__) || defined(__i386__)
// GCC 12 warns on the deliberately undefined vectors inside its own
// AVX-512 intrinsics.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#define TW_AVX512 __attribute__((target("avx512f,avx512bw,avx512dq,avx512vl,avx512vbmi")))

namespace tw::convert {

namespace {

using Bytes64 = std::array<uint8_t, 64>;

// A 64-byte permute table and the mask of the bytes it really fills, built
// from `source(o)`: the table byte for output byte o, or -1 for a zero byte.
struct Shuffle {
    Bytes64 index{};
    uint64_t keep = 0;
};

template <class F> constexpr Shuffle makeShuffle(F source) {
    Shuffle s;
    for (int o = 0; o < 64; ++o) {
        const int from = source(o);
        s.index[static_cast<size_t>(o)] = static_cast<uint8_t>(from < 0 ? 0 : from);
        if (from >= 0) s.keep |= uint64_t{1} << o;
    }
    return s;
}

template <class F> constexpr Bytes64 makeBytes(F value) {
    Bytes64 b{};
    for (int o = 0; o < 64; ++o) b[static_cast<size_t>(o)] = static_cast<uint8_t>(value(o));
    return b;
}

TW_AVX512 inline __m512i load(const Bytes64& b) { return _mm512_loadu_si512(b.data()); }

// The first `Bytes` bytes at p (16, 32, 48 or 64); nothing past them is
// read. (Masked byte loads would do, but cost several times more here.)
template <size_t Bytes> TW_AVX512 inline __m512i loadPart(const uint8_t* p) {
    if constexpr (Bytes >= 64) return _mm512_loadu_si512(p);
    else if constexpr (Bytes == 32) return _mm512_castsi256_si512(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
    else if constexpr (Bytes == 16) return _mm512_castsi128_si512(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    else return _mm512_inserti32x4(loadPart<32>(p), _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 32)), 2);
}

// The frames from `done` on, through the AVX2 kernel of the pair (the table
// test holds that there is one for every row here).
template <class H, int W, int C>
int finish(uint8_t* const* rows, uint8_t* device, size_t done, size_t n, Direction direction) {
    if (done == n) return 0;
    uint8_t* rest[2] = {rows[0] + done * sizeof(H), rows[C - 1] + done * sizeof(H)};
    const SimdConverter tail = findAvx2Converter(sampleTypeCode<H>(), W, C, direction);
    return tail(rest, device + done * C * W, n - done);
}

// ---- 32-bit and float hosts to device bytes, sixteen frames per step.

// NaN becomes 0.0; values beyond [-1, 1] are clipped and marked in `clipped`.
// Comparing and clipping in single precision gives what widening first would.
TW_AVX512 inline __m512 clipUnit(__m512 x, uint32_t& clipped) {
    x = _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(x, x, _CMP_ORD_Q), x);
    const __m512 y = _mm512_min_ps(_mm512_max_ps(x, _mm512_set1_ps(-1.0f)), _mm512_set1_ps(1.0f));
    clipped |= _mm512_cmp_ps_mask(x, y, _CMP_NEQ_OQ);
    return y;
}

TW_AVX512 inline __m512d clipUnit(__m512d x, uint32_t& clipped) {
    x = _mm512_maskz_mov_pd(_mm512_cmp_pd_mask(x, x, _CMP_ORD_Q), x);
    const __m512d y = _mm512_min_pd(_mm512_max_pd(x, _mm512_set1_pd(-1.0)), _mm512_set1_pd(1.0));
    clipped |= _mm512_cmp_pd_mask(x, y, _CMP_NEQ_OQ);
    return y;
}

// Most vectors hold nothing to clip (nor NaN): one test finds out.
TW_AVX512 inline __m512 clipIfNeeded(__m512 x, uint32_t& clipped) {
    const bool inRange = _mm512_cmp_ps_mask(_mm512_abs_ps(x), _mm512_set1_ps(1.0f), _CMP_NLE_UQ) == 0;
    return inRange ? x : clipUnit(x, clipped);
}
TW_AVX512 inline __m512d clipIfNeeded(__m512d x, uint32_t& clipped) {
    const bool inRange = _mm512_cmp_pd_mask(_mm512_abs_pd(x), _mm512_set1_pd(1.0), _CMP_NLE_UQ) == 0;
    return inRange ? x : clipUnit(x, clipped);
}

template <int W> TW_AVX512 inline __m256i unitToPlane(__m512d x) {
    if constexpr (W == 1) x = _mm512_add_pd(x, _mm512_set1_pd(1.0));
    return _mm512_cvttpd_epi32(_mm512_mul_pd(x, _mm512_set1_pd(kFromUnitScale<W>)));
}

// Singles in [-1, 1] to 8-, 16- and 24-bit plane values in single precision,
// each product rounded toward zero: the bits of the double-precision
// conversion, as the AVX2 kernels explain (SimdAvx2Float.h). 32-bit devices
// go through double precision: here that costs no more.
constexpr int kTowardZero = _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC;

template <int W> TW_AVX512 inline __m512i singleToPlane(__m512 x) {
    if constexpr (W == 1) {
        const __m512 scale = _mm512_set1_ps(static_cast<float>(kFromUnitScale<1>));
        return _mm512_cvttps_epi32(_mm512_fmadd_round_ps(x, scale, scale, kTowardZero));
    } else if constexpr (W == 2) {
        return _mm512_cvttps_epi32(_mm512_mul_round_ps(x, _mm512_set1_ps(static_cast<float>(kFromUnitScale<2>)), kTowardZero));
    } else {
        static_assert(W == 3);
        // The 24-bit sample, moved up to its full-scale place.
        const __m512 below = _mm512_maskz_mov_ps(_mm512_cmp_ps_mask(x, _mm512_setzero_ps(), _CMP_LT_OQ),
                                                 _mm512_set1_ps(-255.0f / 256.0f));
        const __m512 scale = _mm512_set1_ps(static_cast<float>(kFromUnitScale<3> / 256));
        return _mm512_slli_epi32(_mm512_cvttps_epi32(_mm512_fmadd_round_ps(x, scale, below, kTowardZero)), 8);
    }
}

// Sixteen host elements to plane values in int32 lanes.
template <class H, int W> TW_AVX512 inline __m512i hostToPlane16(const uint8_t* p, uint32_t& clipped) {
    __m256i lo, hi;
    if constexpr (std::is_same_v<H, int32_t>) {
        const __m512i f = _mm512_loadu_si512(p);
        if constexpr (W == 1) return _mm512_srli_epi32(_mm512_xor_si512(f, _mm512_set1_epi32(INT32_MIN)), 24);
        else if constexpr (W == 2) return _mm512_srai_epi32(f, 16);
        else return f;
    } else if constexpr (std::is_same_v<H, double>) {
        lo = unitToPlane<W>(clipIfNeeded(_mm512_loadu_pd(p), clipped));
        hi = unitToPlane<W>(clipIfNeeded(_mm512_loadu_pd(p + 64), clipped));
    } else {
        const __m512 y = clipIfNeeded(_mm512_loadu_ps(p), clipped);
        if constexpr (W < 4) return singleToPlane<W>(y);
        lo = unitToPlane<W>(_mm512_cvtps_pd(_mm512_castps512_ps256(y)));
        hi = unitToPlane<W>(_mm512_cvtps_pd(_mm512_extractf32x8_ps(y, 1)));
    }
    return _mm512_inserti64x4(_mm512_castsi256_si512(lo), hi, 1);
}

// Interleaving tables: plane lanes of the left channel are table bytes 0..63,
// of the right one 64..127.
constexpr Bytes64 kStereoWords = makeBytes([](int o) {
    // Word j of the output: frame j / 2, channel j % 2, low half of its lane.
    const int word = o / 2, half = o % 2;
    return (word % 2) * 64 + (word / 2) * 4 + half;
});
constexpr Bytes64 kStereoBytes = makeBytes([](int o) { return (o % 2) * 64 + (o / 2 % 16) * 4; });
// 24-bit frames: bytes 1..3 of each lane; `first` is the output byte of o = 0.
template <int First> constexpr Shuffle stereo24Shuffle() {
    return makeShuffle([](int o) {
        const int at = First + o, frame = at / 6, r = at % 6;
        return (r / 3) * 64 + frame * 4 + 1 + r % 3;
    });
}
constexpr Shuffle kStereo24a = stereo24Shuffle<0>();
constexpr Shuffle kStereo24b = stereo24Shuffle<64>();
constexpr Shuffle kMono24 = makeShuffle([](int o) { return o < 48 ? (o / 3) * 4 + 1 + o % 3 : -1; });

TW_AVX512 inline void storeFirst48(uint8_t* to, __m512i v) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), _mm512_castsi512_si256(v));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 32), _mm512_extracti32x4_epi32(v, 2));
}

template <class H, int W, int C>
TW_AVX512 int wideToDevice(uint8_t* const* rows, uint8_t* out, size_t n) {
    uint32_t clipped = 0;
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i a = hostToPlane16<H, W>(rows[0] + i * sizeof(H), clipped);
        uint8_t* to = out + i * C * W;
        if constexpr (C == 1) {
            if constexpr (W == 4) _mm512_storeu_si512(to, a);
            else if constexpr (W == 2) _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), _mm512_cvtepi32_epi16(a));
            else if constexpr (W == 1) _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm512_cvtepi32_epi8(a));
            else storeFirst48(to, _mm512_permutexvar_epi8(load(kMono24.index), a));
        } else {
            const __m512i b = hostToPlane16<H, W>(rows[1] + i * sizeof(H), clipped);
            if constexpr (W == 4) {
                const __m512i first = _mm512_setr_epi32(0, 16, 1, 17, 2, 18, 3, 19, 4, 20, 5, 21, 6, 22, 7, 23);
                const __m512i second = _mm512_add_epi32(first, _mm512_set1_epi32(8));
                _mm512_storeu_si512(to, _mm512_permutex2var_epi32(a, first, b));
                _mm512_storeu_si512(to + 64, _mm512_permutex2var_epi32(a, second, b));
            } else if constexpr (W == 2) {
                _mm512_storeu_si512(to, _mm512_permutex2var_epi8(a, load(kStereoWords), b));
            } else if constexpr (W == 1) {
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(to),
                                    _mm512_castsi512_si256(_mm512_permutex2var_epi8(a, load(kStereoBytes), b)));
            } else {
                _mm512_storeu_si512(to, _mm512_permutex2var_epi8(a, load(kStereo24a.index), b));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 64),
                                    _mm512_castsi512_si256(_mm512_permutex2var_epi8(a, load(kStereo24b.index), b)));
            }
        }
    }
    return static_cast<int>(clipped != 0) | finish<H, W, C>(rows, out, i, n, Direction::toDevice);
}

// ---- 8-bit devices to double hosts, sixteen frames per step.

// Double results: the quotient b / 127.5 comes from the product with its
// reciprocal and one correction step, which rounds the same as the division
// for all 256 values (the tests check each).
TW_AVX512 inline __m512d bytesToDoubles(__m128i bytes) {
    const __m512d x = _mm512_cvtepi32_pd(_mm256_cvtepu8_epi32(bytes));
    const __m512d reciprocal = _mm512_set1_pd(1 / kToUnitDivisor<1>);
    const __m512d q = _mm512_mul_pd(x, reciprocal);
    const __m512d error = _mm512_fnmadd_pd(q, _mm512_set1_pd(kToUnitDivisor<1>), x);  // x - q * 127.5, exact
    return _mm512_sub_pd(_mm512_fmadd_pd(error, reciprocal, q), _mm512_set1_pd(1.0));
}

// Sixteen bytes to sixteen doubles.
TW_AVX512 inline void storeUnits(uint8_t* to, __m128i bytes) {
    _mm512_storeu_pd(to, bytesToDoubles(bytes));
    _mm512_storeu_pd(to + 64, bytesToDoubles(_mm_srli_si128(bytes, 8)));
}

template <int C>
TW_AVX512 int bytesToDoublesHost(uint8_t* const* rows, uint8_t* in, size_t n) {
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        if constexpr (C == 1) {
            storeUnits(rows[0] + i * 8, _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
        } else {
            // Left bytes to the low half, right bytes to the high half.
            const __m256i frames = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i));
            const __m256i split = _mm256_permutexvar_epi8(
                _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30, 1, 3, 5, 7, 9, 11, 13,
                                 15, 17, 19, 21, 23, 25, 27, 29, 31),
                frames);
            storeUnits(rows[0] + i * 8, _mm256_castsi256_si128(split));
            storeUnits(rows[1] + i * 8, _mm256_extracti128_si256(split, 1));
        }
    }
    return finish<double, 1, C>(rows, in, i, n, Direction::fromDevice);
}

// ---- 8- and 16-bit hosts to 24-bit devices, 32 frames per step.
//
// A 16-bit sample v becomes the bytes 0, low(v), high(v); an 8-bit one b
// becomes 0, 0, b ^ 0x80.

// Left words are table bytes 0..63, right words 64..127.
template <int First> constexpr Shuffle wordsTo24() {
    return makeShuffle([](int o) {
        const int at = First + o, frame = at / 6, r = at % 6;
        if (r == 0 || r == 3) return -1;
        return (r / 3) * 64 + frame * 2 + (r % 3 - 1);
    });
}
// Left bytes are table bytes 0..31, right bytes 32..63.
template <int First> constexpr Shuffle bytesTo24() {
    return makeShuffle([](int o) {
        const int at = First + o, frame = at / 6, r = at % 6;
        return r == 2 ? frame : r == 5 ? 32 + frame : -1;
    });
}
template <int First> constexpr Shuffle monoWordsTo24() {
    return makeShuffle([](int o) {
        const int at = First + o;
        return at % 3 == 0 ? -1 : (at / 3) * 2 + at % 3 - 1;
    });
}
template <int First> constexpr Shuffle monoBytesTo24() {
    return makeShuffle([](int o) { return (First + o) % 3 == 2 ? (First + o) / 3 : -1; });
}

constexpr Shuffle kWords24[3] = {wordsTo24<0>(), wordsTo24<64>(), wordsTo24<128>()};
constexpr Shuffle kBytes24[3] = {bytesTo24<0>(), bytesTo24<64>(), bytesTo24<128>()};
constexpr Shuffle kMonoWords24[2] = {monoWordsTo24<0>(), monoWordsTo24<64>()};
constexpr Shuffle kMonoBytes24[2] = {monoBytesTo24<0>(), monoBytesTo24<64>()};

template <class H, int C>
TW_AVX512 int narrowTo24(uint8_t* const* rows, uint8_t* out, size_t n) {
    constexpr bool words = std::is_same_v<H, int16_t>;
    constexpr int chunks = C == 2 ? 3 : 2;  // 64-byte stores per step; the last mono one is half
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        __m512i a, b;
        if constexpr (words) {
            a = _mm512_loadu_si512(rows[0] + i * 2);
            b = C == 2 ? _mm512_loadu_si512(rows[1] + i * 2) : a;
        } else {
            const __m256i left = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[0] + i));
            const __m256i right = C == 2 ? _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[1] + i)) : left;
            a = b = _mm512_xor_si512(_mm512_inserti64x4(_mm512_castsi256_si512(left), right, 1),
                                     _mm512_set1_epi8(static_cast<char>(0x80)));
        }
        uint8_t* to = out + i * C * 3;
        for (int k = 0; k < chunks; ++k) {
            const Shuffle& s =
                C == 2 ? (words ? kWords24[k] : kBytes24[k]) : (words ? kMonoWords24[k] : kMonoBytes24[k]);
            const __m512i v = _mm512_maskz_permutex2var_epi8(s.keep, a, load(s.index), b);
            if (C == 1 && k == 1) _mm256_storeu_si256(reinterpret_cast<__m256i*>(to + 64), _mm512_castsi512_si256(v));
            else _mm512_storeu_si512(to + 64 * k, v);
        }
    }
    return finish<H, 3, C>(rows, out, i, n, Direction::toDevice);
}

// ---- 24-bit devices to 8- and 16-bit hosts, 32 frames per step.
//
// A host sample takes the top two bytes of its 24-bit one (the top byte ^
// 0x80 for 8 bits). The 192 bytes of 32 stereo frames are read as c0 c1 c2;
// each output byte comes from (c0, c1) or, past byte 127, from (c1, c2).
struct Gather {
    Bytes64 low{}, high{};
    uint64_t fromHigh = 0;
};

template <class F> constexpr Gather makeGather(F source) {
    Gather g;
    for (int j = 0; j < 64; ++j) {
        const int from = source(j);
        const auto at = static_cast<size_t>(j);
        if (from < 128) {
            g.low[at] = static_cast<uint8_t>(from);
        } else {
            g.high[at] = static_cast<uint8_t>(from - 64);
            g.fromHigh |= uint64_t{1} << j;
        }
    }
    return g;
}

constexpr Gather kLeftWordsFrom24 = makeGather([](int j) { return 6 * (j / 2) + 1 + j % 2; });
constexpr Gather kRightWordsFrom24 = makeGather([](int j) { return 6 * (j / 2) + 4 + j % 2; });
// Left bytes to the low half, right bytes to the high half.
constexpr Gather kBytesFrom24 = makeGather([](int j) { return 6 * (j % 32) + (j < 32 ? 2 : 5); });
constexpr Bytes64 kMonoWordsFrom24 = makeBytes([](int j) { return 3 * (j / 2) + 1 + j % 2; });
constexpr Bytes64 kMonoBytesFrom24 = makeBytes([](int j) { return 3 * (j % 32) + 2; });

TW_AVX512 inline __m512i gather(const Gather& g, __m512i c0, __m512i c1, __m512i c2) {
    return _mm512_mask_blend_epi8(g.fromHigh, _mm512_permutex2var_epi8(c0, load(g.low), c1),
                                  _mm512_permutex2var_epi8(c1, load(g.high), c2));
}

template <class H, int C>
TW_AVX512 int narrowFrom24(uint8_t* const* rows, uint8_t* in, size_t n) {
    constexpr bool words = std::is_same_v<H, int16_t>;
    const __m512i flip = _mm512_set1_epi8(static_cast<char>(0x80));
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const uint8_t* from = in + i * C * 3;
        const __m512i c0 = _mm512_loadu_si512(from);
        if constexpr (C == 1) {
            // 96 bytes: the second read stops at their end.
            const __m512i c1 = loadPart<32>(from + 64);
            if constexpr (words) {
                _mm512_storeu_si512(rows[0] + i * 2, _mm512_permutex2var_epi8(c0, load(kMonoWordsFrom24), c1));
            } else {
                const __m512i v = _mm512_xor_si512(_mm512_permutex2var_epi8(c0, load(kMonoBytesFrom24), c1), flip);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(rows[0] + i), _mm512_castsi512_si256(v));
            }
        } else {
            const __m512i c1 = _mm512_loadu_si512(from + 64);
            const __m512i c2 = _mm512_loadu_si512(from + 128);
            if constexpr (words) {
                _mm512_storeu_si512(rows[0] + i * 2, gather(kLeftWordsFrom24, c0, c1, c2));
                _mm512_storeu_si512(rows[1] + i * 2, gather(kRightWordsFrom24, c0, c1, c2));
            } else {
                const __m512i v = _mm512_xor_si512(gather(kBytesFrom24, c0, c1, c2), flip);
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(rows[0] + i), _mm512_castsi512_si256(v));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(rows[1] + i), _mm512_extracti64x4_epi64(v, 1));
            }
        }
    }
    return finish<H, 3, C>(rows, in, i, n, Direction::fromDevice);
}

// ---- Devices of 8 to 24 bits to 32-bit hosts (listed for 24 bits), 16 frames
// per step: the device bytes go to the top of each lane, zeros below (8-bit
// samples with their top bit flipped).
template <int W, int C> constexpr Shuffle toLanes(int channel) {
    Shuffle s;
    for (int o = 0; o < 64; ++o) {
        const int k = o % 4 + W - 4;  // byte of the device sample, or below it
        if (k < 0) continue;
        s.index[static_cast<size_t>(o)] = static_cast<uint8_t>(((o / 4) * C + channel) * W + k);
        s.keep |= uint64_t{1} << o;
    }
    return s;
}

template <int W, int C>
TW_AVX512 int toLanesHost(uint8_t* const* rows, uint8_t* in, size_t n) {
    static constexpr Shuffle shuffles[2] = {toLanes<W, C>(0), toLanes<W, C>(1)};
    constexpr size_t stepBytes = 16 * C * W;  // 16 to 96
    const __m512i flip = _mm512_set1_epi32(W == 1 ? INT32_MIN : 0);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const uint8_t* from = in + i * C * W;
        const __m512i c0 = loadPart<std::min<size_t>(stepBytes, 64)>(from);
        __m512i c1 = _mm512_setzero_si512();
        if constexpr (stepBytes > 64) c1 = loadPart<stepBytes - 64>(from + 64);
        for (int c = 0; c < C; ++c) {
            const Shuffle& s = shuffles[c];
            const __m512i v = _mm512_maskz_permutex2var_epi8(s.keep, c0, load(s.index), c1);
            _mm512_storeu_si512(rows[c] + i * 4, _mm512_xor_si512(v, flip));
        }
    }
    return finish<int32_t, W, C>(rows, in, i, n, Direction::fromDevice);
}

// ---- 16- and 32-bit devices to 8-bit hosts: the top byte of each sample,
// ^ 0x80. A step takes 128 device bytes; left bytes go to the low part of
// the result, right ones behind them.
template <int W, int C> constexpr size_t kTopStep = 128 / (C * W);

template <int W, int C> constexpr Bytes64 topBytes() {
    return makeBytes([](int j) {
        constexpr int frames = static_cast<int>(kTopStep<W, C>);
        return (C * (j % frames) + j / frames) * W + W - 1;
    });
}

template <int W, int C>
TW_AVX512 int topBytesToHost(uint8_t* const* rows, uint8_t* in, size_t n) {
    constexpr size_t step = kTopStep<W, C>;
    static constexpr Bytes64 table = topBytes<W, C>();
    const __m512i flip = _mm512_set1_epi8(static_cast<char>(0x80));
    size_t i = 0;
    for (; i + step <= n; i += step) {
        const uint8_t* from = in + i * C * W;
        const __m512i v = _mm512_xor_si512(
            _mm512_permutex2var_epi8(_mm512_loadu_si512(from), load(table), _mm512_loadu_si512(from + 64)), flip);
        if constexpr (step == 64) {
            _mm512_storeu_si512(rows[0] + i, v);
        } else if constexpr (step == 32) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(rows[0] + i), _mm512_castsi512_si256(v));
            if constexpr (C == 2)
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(rows[1] + i), _mm512_extracti64x4_epi64(v, 1));
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[0] + i), _mm512_castsi512_si128(v));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rows[1] + i), _mm512_extracti32x4_epi32(v, 1));
        }
    }
    return finish<uint8_t, W, C>(rows, in, i, n, Direction::fromDevice);
}

constexpr Direction to = Direction::toDevice;
constexpr Direction from = Direction::fromDevice;

// 32-bit hosts to 32-bit mono devices are a copy, done by the caller. Pairs
// the AVX2 kernels do as fast (8- and 16-bit devices to 32-bit and 16-bit
// hosts, 8-bit devices to single hosts) are left to them.
constexpr SimdKernel kAvx512[] = {
    // host        width channels direction kernel
    {TW_TYPE_U8, 2, 1, from, topBytesToHost<2, 1>},
    {TW_TYPE_U8, 2, 2, from, topBytesToHost<2, 2>},
    {TW_TYPE_U8, 3, 1, to, narrowTo24<uint8_t, 1>},
    {TW_TYPE_U8, 3, 2, to, narrowTo24<uint8_t, 2>},
    {TW_TYPE_U8, 3, 1, from, narrowFrom24<uint8_t, 1>},
    {TW_TYPE_U8, 3, 2, from, narrowFrom24<uint8_t, 2>},
    {TW_TYPE_U8, 4, 1, from, topBytesToHost<4, 1>},
    {TW_TYPE_U8, 4, 2, from, topBytesToHost<4, 2>},

    {TW_TYPE_I16, 3, 1, to, narrowTo24<int16_t, 1>},
    {TW_TYPE_I16, 3, 2, to, narrowTo24<int16_t, 2>},
    {TW_TYPE_I16, 3, 1, from, narrowFrom24<int16_t, 1>},
    {TW_TYPE_I16, 3, 2, from, narrowFrom24<int16_t, 2>},

    {TW_TYPE_I32, 1, 1, to, wideToDevice<int32_t, 1, 1>},
    {TW_TYPE_I32, 1, 2, to, wideToDevice<int32_t, 1, 2>},
    {TW_TYPE_I32, 2, 1, to, wideToDevice<int32_t, 2, 1>},
    {TW_TYPE_I32, 2, 2, to, wideToDevice<int32_t, 2, 2>},
    {TW_TYPE_I32, 3, 1, to, wideToDevice<int32_t, 3, 1>},
    {TW_TYPE_I32, 3, 2, to, wideToDevice<int32_t, 3, 2>},
    {TW_TYPE_I32, 3, 1, from, toLanesHost<3, 1>},
    {TW_TYPE_I32, 3, 2, from, toLanesHost<3, 2>},
    {TW_TYPE_I32, 4, 2, to, wideToDevice<int32_t, 4, 2>},

    {TW_TYPE_F32, 1, 1, to, wideToDevice<float, 1, 1>},
    {TW_TYPE_F32, 1, 2, to, wideToDevice<float, 1, 2>},
    {TW_TYPE_F32, 2, 1, to, wideToDevice<float, 2, 1>},
    {TW_TYPE_F32, 2, 2, to, wideToDevice<float, 2, 2>},
    {TW_TYPE_F32, 3, 1, to, wideToDevice<float, 3, 1>},
    {TW_TYPE_F32, 3, 2, to, wideToDevice<float, 3, 2>},
    {TW_TYPE_F32, 4, 1, to, wideToDevice<float, 4, 1>},
    {TW_TYPE_F32, 4, 2, to, wideToDevice<float, 4, 2>},

    {TW_TYPE_F64, 1, 1, to, wideToDevice<double, 1, 1>},
    {TW_TYPE_F64, 1, 2, to, wideToDevice<double, 1, 2>},
    {TW_TYPE_F64, 1, 1, from, bytesToDoublesHost<1>},
    {TW_TYPE_F64, 1, 2, from, bytesToDoublesHost<2>},
    {TW_TYPE_F64, 2, 1, to, wideToDevice<double, 2, 1>},
    {TW_TYPE_F64, 2, 2, to, wideToDevice<double, 2, 2>},
    {TW_TYPE_F64, 3, 1, to, wideToDevice<double, 3, 1>},
    {TW_TYPE_F64, 3, 2, to, wideToDevice<double, 3, 2>},
    {TW_TYPE_F64, 4, 1, to, wideToDevice<double, 4, 1>},
    {TW_TYPE_F64, 4, 2, to, wideToDevice<double, 4, 2>},
};

}  // namespace

std::span<const SimdKernel> avx512Kernels() { return kAvx512; }

}  // namespace tw::convert

#else

namespace tw::convert {
std::span<const SimdKernel> avx512Kernels() { return {}; }
}  // namespace tw::convert

#endif
