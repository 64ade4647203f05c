// AVX2 kernels: eight frames per step through int32 lanes. Float samples are
// clipped and scaled in double precision exactly as the scalar code does (no
// fused multiply-add), so every result is bit-identical. Partial steps at the
// end go through the portable loops.
#include "convert/SimdKernels.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "convert/SampleKernels.h"
#include "convert/SampleTypes.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TW_AVX2 __attribute__((target("avx2")))

namespace tw::convert {

namespace {

constexpr size_t kStep = 8;

// ---- Host elements to plane values (int32 lanes).

template <class H> TW_AVX2 inline __m256i loadFullScale(const uint8_t* p) {
    if constexpr (std::is_same_v<H, uint8_t>) {
        const __m256i b = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
        return _mm256_slli_epi32(_mm256_xor_si256(b, _mm256_set1_epi32(0x80)), 24);
    } else if constexpr (std::is_same_v<H, int16_t>) {
        return _mm256_slli_epi32(_mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))), 16);
    } else {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    }
}

template <int W> TW_AVX2 inline __m256i fullScaleToPlane(__m256i f) {
    if constexpr (W == 1) return _mm256_srli_epi32(_mm256_xor_si256(f, _mm256_set1_epi32(INT32_MIN)), 24);
    else if constexpr (W == 2) return _mm256_srai_epi32(f, 16);
    else return f;
}

// NaN becomes 0.0; values beyond [-1, 1] are clipped and marked in `clipped`.
TW_AVX2 inline __m256d clipUnit(__m256d x, __m256i& clipped) {
    x = _mm256_and_pd(x, _mm256_cmp_pd(x, x, _CMP_ORD_Q));
    const __m256d y = _mm256_min_pd(_mm256_max_pd(x, _mm256_set1_pd(-1.0)), _mm256_set1_pd(1.0));
    clipped = _mm256_or_si256(clipped, _mm256_castpd_si256(_mm256_cmp_pd(x, y, _CMP_NEQ_OQ)));
    return y;
}

// The same on singles: comparing and clipping in single precision gives what
// widening first would.
TW_AVX2 inline __m256 clipUnit(__m256 x, __m256i& clipped) {
    x = _mm256_and_ps(x, _mm256_cmp_ps(x, x, _CMP_ORD_Q));
    const __m256 y = _mm256_min_ps(_mm256_max_ps(x, _mm256_set1_ps(-1.0f)), _mm256_set1_ps(1.0f));
    clipped = _mm256_or_si256(clipped, _mm256_castps_si256(_mm256_cmp_ps(x, y, _CMP_NEQ_OQ)));
    return y;
}

// x already in [-1, 1].
template <int W> TW_AVX2 inline __m128i unitToPlane(__m256d x) {
    if constexpr (W == 1) x = _mm256_add_pd(x, _mm256_set1_pd(1.0));
    return _mm256_cvttpd_epi32(_mm256_mul_pd(x, _mm256_set1_pd(kFromUnitScale<W>)));
}

template <class H, int W> TW_AVX2 inline __m256i hostToPlane8(const uint8_t* p, __m256i& clipped) {
    if constexpr (std::is_floating_point_v<H>) {
        __m256d x0, x1;
        if constexpr (std::is_same_v<H, double>) {
            x0 = clipUnit(_mm256_loadu_pd(reinterpret_cast<const double*>(p)), clipped);
            x1 = clipUnit(_mm256_loadu_pd(reinterpret_cast<const double*>(p + 32)), clipped);
        } else {
            const __m256 f = clipUnit(_mm256_loadu_ps(reinterpret_cast<const float*>(p)), clipped);
            x0 = _mm256_cvtps_pd(_mm256_castps256_ps128(f));
            x1 = _mm256_cvtps_pd(_mm256_extractf128_ps(f, 1));
        }
        return _mm256_set_m128i(unitToPlane<W>(x1), unitToPlane<W>(x0));
    } else {
        return fullScaleToPlane<W>(loadFullScale<H>(p));
    }
}

// ---- Plane values to device bytes.

TW_AVX2 inline void store24(uint8_t* out, __m256i v) {
    // Bytes 1..3 of each int32 lane, packed to 12 bytes per 128-bit half.
    const __m256i pick = _mm256_setr_epi8(1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15, -1, -1, -1, -1,
                                          1, 2, 3, 5, 6, 7, 9, 10, 11, 13, 14, 15, -1, -1, -1, -1);
    const __m256i s = _mm256_shuffle_epi8(v, pick);
    const __m128i hi = _mm256_extracti128_si256(s, 1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(s));  // tail overwritten next
    _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 12), hi);
    const int32_t last = _mm_cvtsi128_si32(_mm_srli_si128(hi, 8));
    std::memcpy(out + 20, &last, 4);
}

// 8 plane values in order.
template <int W> TW_AVX2 inline void storePlane8(uint8_t* out, __m256i v) {
    if constexpr (W == 4) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), v);
    } else if constexpr (W == 3) {
        store24(out, v);
    } else {
        const __m128i words = _mm_packs_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
        if constexpr (W == 2) _mm_storeu_si128(reinterpret_cast<__m128i*>(out), words);
        else _mm_storel_epi64(reinterpret_cast<__m128i*>(out), _mm_packus_epi16(words, words));
    }
}

// 16 plane values in order, z0 then z1.
template <int W> TW_AVX2 inline void storePlane16(uint8_t* out, __m256i z0, __m256i z1) {
    if constexpr (W == 4 || W == 3) {
        storePlane8<W>(out, z0);
        storePlane8<W>(out + 8 * W, z1);
    } else {
        const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(z0, z1), 0xD8);
        if constexpr (W == 2) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), words);
        } else {
            const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(words, words), 0x08);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
        }
    }
}

// ---- Device bytes to plane values.

template <int W> TW_AVX2 inline __m256i loadPlane8(const uint8_t* in) {
    if constexpr (W == 1) {
        return _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(in)));
    } else if constexpr (W == 2) {
        return _mm256_cvtepi16_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in)));
    } else if constexpr (W == 3) {
        // Samples 0..3 from bytes 0..11, samples 4..7 from bytes 12..23 (loaded from byte 8).
        const __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8));
        const __m256i place = _mm256_setr_epi8(-1, 0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11,
                                               -1, 4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15);
        return _mm256_shuffle_epi8(_mm256_set_m128i(hi, lo), place);
    } else {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in));
    }
}

template <int W> TW_AVX2 inline __m256i planeToFullScale(__m256i v) {
    if constexpr (W == 1) return _mm256_slli_epi32(_mm256_xor_si256(v, _mm256_set1_epi32(0x80)), 24);
    else if constexpr (W == 2) return _mm256_slli_epi32(v, 16);
    else return v;
}

template <int W> TW_AVX2 inline __m256d planeToUnit(__m128i v) {
    const __m256d x = _mm256_cvtepi32_pd(v);
    if constexpr (W == 1) return _mm256_sub_pd(_mm256_div_pd(x, _mm256_set1_pd(127.5)), _mm256_set1_pd(1.0));
    else if constexpr (W == 2) return _mm256_mul_pd(x, _mm256_set1_pd(1.0 / 32768.0));  // exact: power of 2
    else return _mm256_mul_pd(x, _mm256_set1_pd(1.0 / 2147483648.0));
}

// Single results. Scaling by a power of 2 commutes with rounding, so widths 2
// to 4 can round first and scale in single precision. For width 1 the product
// with 1 / 127.5 rounds to the same single as the quotient for all 256 values
// (the tests check every one).
template <int W> TW_AVX2 inline __m256 planeToSingle(__m256i v) {
    if constexpr (W == 1) {
        const __m256d scale = _mm256_set1_pd(1 / 127.5);
        const __m256d one = _mm256_set1_pd(1.0);
        const __m256d lo = _mm256_sub_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(v)), scale), one);
        const __m256d hi = _mm256_sub_pd(_mm256_mul_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(v, 1)), scale), one);
        return _mm256_set_m128(_mm256_cvtpd_ps(hi), _mm256_cvtpd_ps(lo));
    } else {
        const float scale = W == 2 ? 1.0f / 32768.0f : 1.0f / 2147483648.0f;
        return _mm256_mul_ps(_mm256_cvtepi32_ps(v), _mm256_set1_ps(scale));
    }
}

template <int W, class H> TW_AVX2 inline void planeToHost8(__m256i v, uint8_t* p) {
    if constexpr (std::is_same_v<H, float>) {
        _mm256_storeu_ps(reinterpret_cast<float*>(p), planeToSingle<W>(v));
    } else if constexpr (std::is_same_v<H, double>) {
        _mm256_storeu_pd(reinterpret_cast<double*>(p), planeToUnit<W>(_mm256_castsi256_si128(v)));
        _mm256_storeu_pd(reinterpret_cast<double*>(p + 32), planeToUnit<W>(_mm256_extracti128_si256(v, 1)));
    } else {
        const __m256i f = planeToFullScale<W>(v);
        if constexpr (std::is_same_v<H, int32_t>) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), f);
        } else {
            constexpr int hostWidth = std::is_same_v<H, uint8_t> ? 1 : 2;
            storePlane8<hostWidth>(p, fullScaleToPlane<hostWidth>(f));
        }
    }
}

// ---- Frames after the last whole step, through the portable loops.

constexpr size_t kMaxTail = 16;

template <class H, int W, int C>
int scalarTailToDevice(uint8_t* const* rows, uint8_t* out, size_t i, size_t n) {
    alignas(32) uint8_t temp[C][kMaxTail * sizeof(Plane<W>)];
    const uint8_t* planes[C];
    const size_t rest = std::min(n - i, kMaxTail);
    int clipped = 0;
    for (int c = 0; c < C; ++c) {
        clipped |= tw::convert::hostToPlane<H, W>(rows[c] + i * sizeof(H), temp[c], rest);
        planes[c] = temp[c];
    }
    pack<W, C>(planes, out + i * C * W, rest);
    return clipped;
}

template <class H, int W, int C>
void scalarTailFromDevice(uint8_t* const* rows, const uint8_t* in, size_t i, size_t n) {
    alignas(32) uint8_t temp[C][kMaxTail * sizeof(Plane<W>)];
    uint8_t* planes[C];
    const size_t rest = std::min(n - i, kMaxTail);
    for (int c = 0; c < C; ++c) planes[c] = temp[c];
    unpack<W, C>(in + i * C * W, planes, rest);
    for (int c = 0; c < C; ++c) planeToHost<W, H>(temp[c], rows[c] + i * sizeof(H), rest);
}

// ---- 8- and 16-bit pairs: sixteen samples per step in int16 lanes.

template <class H> TW_AVX2 inline __m256i loadNarrow(const uint8_t* p) {
    if constexpr (std::is_same_v<H, uint8_t>) return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    else return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Between an 8-bit value (0..255 in the lane) and a 16-bit one, as the
// full-scale conversion gives it.
TW_AVX2 inline __m256i bytesToWords(__m256i v) { return _mm256_slli_epi16(_mm256_xor_si256(v, _mm256_set1_epi16(0x80)), 8); }
TW_AVX2 inline __m256i wordsToBytes(__m256i v) { return _mm256_xor_si256(_mm256_srli_epi16(v, 8), _mm256_set1_epi16(0x80)); }

// From host element form (size of H) to device form (width W) or back.
template <int From, int To> TW_AVX2 inline __m256i narrowConvert(__m256i v) {
    if constexpr (From == To) return v;
    else if constexpr (From == 1) return bytesToWords(v);
    else return wordsToBytes(v);
}

// 16 values in order, as `Size`-byte samples.
template <int Size> TW_AVX2 inline void storeNarrow16(uint8_t* out, __m256i v) {
    if constexpr (Size == 2) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), v);
    } else {
        const __m256i bytes = _mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
    }
}

// 32 values in order, z0 then z1.
template <int Size> TW_AVX2 inline void storeNarrow32(uint8_t* out, __m256i z0, __m256i z1) {
    if constexpr (Size == 2) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), z0);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 32), z1);
    } else {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out),
                            _mm256_permute4x64_epi64(_mm256_packus_epi16(z0, z1), 0xD8));
    }
}

template <class H, int W, int C>
TW_AVX2 int hostToDeviceNarrow(uint8_t* const* rows, uint8_t* out, size_t i, size_t n) {
    constexpr int hostSize = sizeof(H);
    for (; i + 16 <= n; i += 16) {
        const __m256i a = narrowConvert<hostSize, W>(loadNarrow<H>(rows[0] + i * hostSize));
        if constexpr (C == 1) {
            storeNarrow16<W>(out + i * W, a);
        } else {
            const __m256i b = narrowConvert<hostSize, W>(loadNarrow<H>(rows[1] + i * hostSize));
            const __m256i lo = _mm256_unpacklo_epi16(a, b);
            const __m256i hi = _mm256_unpackhi_epi16(a, b);
            storeNarrow32<W>(out + i * 2 * W, _mm256_permute2x128_si256(lo, hi, 0x20),
                             _mm256_permute2x128_si256(lo, hi, 0x31));
        }
    }
    if (i < n) scalarTailToDevice<H, W, C>(rows, out, i, n);
    return 0;
}

template <class H, int W, int C>
TW_AVX2 int deviceToHostNarrow(uint8_t* const* rows, uint8_t* in, size_t i, size_t n) {
    constexpr int hostSize = sizeof(H);
    for (; i + 16 <= n; i += 16) {
        if constexpr (C == 1) {
            storeNarrow16<hostSize>(rows[0] + i * hostSize, narrowConvert<W, hostSize>(loadNarrow<Plane<W>>(in + i * W)));
        } else {
            // Per 128-bit lane: the four left samples, then the four right ones.
            const __m256i split = _mm256_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15,
                                                   0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
            const uint8_t* frames = in + i * 2 * W;
            const __m256i t0 = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(loadNarrow<Plane<W>>(frames), split), 0xD8);
            const __m256i t1 =
                _mm256_permute4x64_epi64(_mm256_shuffle_epi8(loadNarrow<Plane<W>>(frames + 16 * W), split), 0xD8);
            storeNarrow16<hostSize>(rows[0] + i * hostSize,
                                    narrowConvert<W, hostSize>(_mm256_permute2x128_si256(t0, t1, 0x20)));
            storeNarrow16<hostSize>(rows[1] + i * hostSize,
                                    narrowConvert<W, hostSize>(_mm256_permute2x128_si256(t0, t1, 0x31)));
        }
    }
    if (i < n) scalarTailFromDevice<H, W, C>(rows, in, i, n);
    return 0;
}

// ---- Unsigned 8-bit host and device: stereo interleaving of bytes.

TW_AVX2 int interleaveBytes(uint8_t* const* rows, uint8_t* out, size_t n) {
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i l = _mm256_permute4x64_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[0] + i)), 0xD8);
        const __m256i r = _mm256_permute4x64_epi64(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[1] + i)), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), _mm256_unpacklo_epi8(l, r));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i + 32), _mm256_unpackhi_epi8(l, r));
    }
    if (i < n) hostToDeviceNarrow<uint8_t, 1, 2>(rows, out, i, n);
    return 0;
}

TW_AVX2 int deinterleaveBytes(uint8_t* const* rows, uint8_t* in, size_t n) {
    // Per 128-bit lane: the eight left samples, then the eight right ones.
    const __m256i split = _mm256_setr_epi8(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15,
                                           0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i z0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i));
        const __m256i z1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(in + 2 * i + 32));
        const __m256i t0 = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(z0, split), 0xD8);
        const __m256i t1 = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(z1, split), 0xD8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(rows[0] + i), _mm256_permute2x128_si256(t0, t1, 0x20));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(rows[1] + i), _mm256_permute2x128_si256(t0, t1, 0x31));
    }
    if (i < n) deviceToHostNarrow<uint8_t, 1, 2>(rows, in, i, n);
    return 0;
}

// ---- Frame loops through int32 lanes, eight frames per step.

template <class H, int W, int C>
TW_AVX2 int hostToDevice(uint8_t* const* rows, uint8_t* out, size_t n) {
    __m256i clipped = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        const __m256i a = hostToPlane8<H, W>(rows[0] + i * sizeof(H), clipped);
        if constexpr (C == 1) {
            storePlane8<W>(out + i * W, a);
        } else {
            const __m256i b = hostToPlane8<H, W>(rows[1] + i * sizeof(H), clipped);
            const __m256i lo = _mm256_unpacklo_epi32(a, b);
            const __m256i hi = _mm256_unpackhi_epi32(a, b);
            storePlane16<W>(out + i * C * W, _mm256_permute2x128_si256(lo, hi, 0x20),
                            _mm256_permute2x128_si256(lo, hi, 0x31));
        }
    }
    int result = !_mm256_testz_si256(clipped, clipped);
    if (i < n) result |= scalarTailToDevice<H, W, C>(rows, out, i, n);
    return result;
}

template <class H, int W, int C>
TW_AVX2 int deviceToHost(uint8_t* const* rows, uint8_t* in, size_t n) {
    size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        if constexpr (C == 1) {
            planeToHost8<W, H>(loadPlane8<W>(in + i * W), rows[0] + i * sizeof(H));
        } else {
            const __m256i odd = _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7);
            const __m256i t0 = _mm256_permutevar8x32_epi32(loadPlane8<W>(in + i * 2 * W), odd);
            const __m256i t1 = _mm256_permutevar8x32_epi32(loadPlane8<W>(in + i * 2 * W + 8 * W), odd);
            planeToHost8<W, H>(_mm256_permute2x128_si256(t0, t1, 0x20), rows[0] + i * sizeof(H));
            planeToHost8<W, H>(_mm256_permute2x128_si256(t0, t1, 0x31), rows[1] + i * sizeof(H));
        }
    }
    if (i < n) scalarTailFromDevice<H, W, C>(rows, in, i, n);
    return 0;
}

template <int (*Kernel)(uint8_t* const*, uint8_t*, size_t, size_t)>
int fromStart(uint8_t* const* rows, uint8_t* device, size_t n) {
    return Kernel(rows, device, 0, n);
}

template <class H, int W>
SimdConverter pickChannels(uint32_t channels, bool toDevice) {
    // Same-format pairs are plain interleaving; the portable loops do them well.
    constexpr bool same = std::is_same_v<H, Plane<W>>;
    if constexpr ((std::is_same_v<H, uint8_t> || std::is_same_v<H, int16_t>) && W <= 2) {
        // A mono same-format copy is a plain memcpy, done by the caller.
        if constexpr (same && W == 1) {
            if (channels == 2) return toDevice ? interleaveBytes : deinterleaveBytes;
        } else {
            if (channels == 1 && !same) return toDevice ? fromStart<hostToDeviceNarrow<H, W, 1>>
                                                        : fromStart<deviceToHostNarrow<H, W, 1>>;
            if (channels == 2) return toDevice ? fromStart<hostToDeviceNarrow<H, W, 2>>
                                               : fromStart<deviceToHostNarrow<H, W, 2>>;
        }
        return nullptr;
    } else if constexpr (same && W == 4) {
        return nullptr;
    } else {
        if (channels == 1) return toDevice ? hostToDevice<H, W, 1> : deviceToHost<H, W, 1>;
        if (channels == 2) return toDevice ? hostToDevice<H, W, 2> : deviceToHost<H, W, 2>;
        return nullptr;
    }
}

template <class H>
SimdConverter pickWidth(uint32_t width, uint32_t channels, bool toDevice) {
    switch (width) {
        case 1: return pickChannels<H, 1>(channels, toDevice);
        case 2: return pickChannels<H, 2>(channels, toDevice);
        case 3: return pickChannels<H, 3>(channels, toDevice);
        case 4: return pickChannels<H, 4>(channels, toDevice);
        default: return nullptr;
    }
}

}  // namespace

SimdConverter findAvx2Converter(uint16_t typeCode, uint32_t width, uint32_t channels, bool toDevice) {
    return withSampleType(typeCode, SimdConverter{},
                          [&](auto h) { return pickWidth<decltype(h)>(width, channels, toDevice); });
}

}  // namespace tw::convert

#else

namespace tw::convert {
SimdConverter findAvx2Converter(uint16_t, uint32_t, uint32_t, bool) { return nullptr; }
}  // namespace tw::convert

#endif
