// AVX2 kernels with a float side, eight frames per step. Included only by
// SimdKernelsAvx2.cpp.
//
// Single hosts to 8-, 16- and 24-bit devices work in single precision with
// rounding toward zero, which gives the bits of the double-precision
// conversion: the scaled value r is rounded once toward zero, so truncating
// it gives what truncating the exact product gives (integers up to 2^24 are
// singles), and the double product is exact or rounds on the same side of
// every integer. For 32-bit devices the result is 2^31 x - sign(x), exact for
// |x| >= 2^-8; a vector holding smaller nonzero samples goes through double
// precision. The tests feed every rounding boundary and a stride through all
// 2^32 singles; a disabled test runs all of them.
// Double hosts clip and scale in double precision as the portable loops do
// (no fused multiply-add).
#pragma once

#include <bit>

#include "convert/SimdAvx2Common.h"

namespace tw::convert::avx2 {

// ---- Clipping.

TW_AVX2 inline __m256 absolute(__m256 x) { return _mm256_andnot_ps(_mm256_set1_ps(-0.0f), x); }
TW_AVX2 inline __m256d absolute(__m256d x) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), x); }

// Lanes beyond [-1, 1] or NaN, which need the clip step.
TW_AVX2 inline __m256d outOfRange(__m256d x) { return _mm256_cmp_pd(absolute(x), _mm256_set1_pd(1.0), _CMP_NLE_UQ); }

// NaN becomes 0.0; values beyond [-1, 1] are clipped and marked in `clipped`.
// Comparing and clipping in single precision gives what widening first would.
TW_AVX2 inline __m256 clipUnit(__m256 x, __m256i& clipped) {
    x = _mm256_and_ps(x, _mm256_cmp_ps(x, x, _CMP_ORD_Q));
    const __m256 y = _mm256_min_ps(_mm256_max_ps(x, _mm256_set1_ps(-1.0f)), _mm256_set1_ps(1.0f));
    clipped = _mm256_or_si256(clipped, _mm256_castps_si256(_mm256_cmp_ps(x, y, _CMP_NEQ_OQ)));
    return y;
}
TW_AVX2 inline __m256d clipUnit(__m256d x, __m256i& clipped) {
    x = _mm256_and_pd(x, _mm256_cmp_pd(x, x, _CMP_ORD_Q));
    const __m256d y = _mm256_min_pd(_mm256_max_pd(x, _mm256_set1_pd(-1.0)), _mm256_set1_pd(1.0));
    clipped = _mm256_or_si256(clipped, _mm256_castpd_si256(_mm256_cmp_pd(x, y, _CMP_NEQ_OQ)));
    return y;
}

// ---- Unit values to plane values.

// Double precision, x already in [-1, 1]: exactly the portable arithmetic.
template <int W> TW_AVX2 inline __m128i unitToPlane(__m256d x) {
    if constexpr (W == 1) x = _mm256_add_pd(x, _mm256_set1_pd(1.0));
    return _mm256_cvttpd_epi32(_mm256_mul_pd(x, _mm256_set1_pd(kFromUnitScale<W>)));
}

TW_AVX2 inline __m256i unitToPlane(__m128i lo, __m128i hi) { return _mm256_set_m128i(hi, lo); }

template <int W> TW_AVX2 inline __m256i singlesThroughDoubles(__m256 x) {
    return unitToPlane(unitToPlane<W>(_mm256_cvtps_pd(_mm256_castps256_ps128(x))),
                       unitToPlane<W>(_mm256_cvtps_pd(_mm256_extractf128_ps(x, 1))));
}

// Single precision, rounding toward zero in force, x in [-1, 1]. Width 3
// gives the 24-bit sample itself (bytes 0..2): the full-scale value t =
// trunc(x * 256 * (2^23 - 1)) has bits 8..31 floor(x * (2^23 - 1)) for x >= 0
// and ceil(x * (2^23 - 1) - 255/256) below, and rounding toward zero is floor
// and ceil there.
template <int W> TW_AVX2 inline __m256i singleToPlane(__m256 x) {
    if constexpr (W == 1) {
        const __m256 scale = _mm256_set1_ps(static_cast<float>(kFromUnitScale<1>));
        return _mm256_cvttps_epi32(_mm256_fmadd_ps(x, scale, scale));
    } else if constexpr (W == 2) {
        return _mm256_cvttps_epi32(_mm256_mul_ps(x, _mm256_set1_ps(static_cast<float>(kFromUnitScale<2>))));
    } else {
        static_assert(W == 3);
        const __m256 below = _mm256_and_ps(_mm256_cmp_ps(x, _mm256_setzero_ps(), _CMP_LT_OQ),
                                           _mm256_set1_ps(-255.0f / 256.0f));
        return _mm256_cvttps_epi32(
            _mm256_fmadd_ps(x, _mm256_set1_ps(static_cast<float>(kFromUnitScale<3> / 256)), below));
    }
}
static_assert(static_cast<float>(kFromUnitScale<1>) == kFromUnitScale<1> &&
                  static_cast<float>(kFromUnitScale<2>) == kFromUnitScale<2> &&
                  static_cast<float>(kFromUnitScale<3> / 256) == kFromUnitScale<3> / 256,
              "the single-precision scales must be exact");

// 32-bit devices: x * (2^31 - 1) truncated is 2^31 x - sign(x) where 2^31 x is
// an integer (|x| >= 2^-8). +1.0 gives 2^31, which converts to INT32_MIN and
// wraps to INT32_MAX. Adding 0.0 turns -0.0 into +0.0, whose sign is 0.
TW_AVX2 inline __m256i singleToFullScale(__m256 x) {
    x = _mm256_add_ps(x, _mm256_setzero_ps());
    const __m256i scaled = _mm256_cvttps_epi32(_mm256_mul_ps(x, _mm256_set1_ps(static_cast<float>(kFromUnitScale<4> + 1))));
    return _mm256_sub_epi32(scaled, _mm256_sign_epi32(_mm256_set1_epi32(1), _mm256_castps_si256(x)));
}

// Lanes of a or b that the exact single-precision path does not cover: out
// of range, NaN, and for 32-bit devices nonzero samples below 2^-8. Works on
// the magnitudes' bits, whose integer order is that of the values (NaN above
// infinity).
template <int W> TW_AVX2 inline bool needsSlowPath(__m256 a, __m256 b) {
    const __m256i magnitude = _mm256_set1_epi32(INT32_MAX);
    const __m256i ma = _mm256_and_si256(_mm256_castps_si256(a), magnitude);
    const __m256i mb = _mm256_and_si256(_mm256_castps_si256(b), magnitude);
    const __m256i one = _mm256_castps_si256(_mm256_set1_ps(1.0f));
    __m256i slow = _mm256_cmpgt_epi32(_mm256_max_epi32(ma, mb), one);
    if constexpr (W == 4) {
        // m - 1 as unsigned: zero goes to the top.
        const __m256i down = _mm256_set1_epi32(-1);
        const __m256i least = _mm256_min_epu32(_mm256_add_epi32(ma, down), _mm256_add_epi32(mb, down));
        const __m256i below = _mm256_set1_epi32(std::bit_cast<int32_t>(1.0f / 256) - 2);
        slow = _mm256_or_si256(slow, _mm256_cmpeq_epi32(_mm256_min_epu32(least, below), least));
    }
    return !_mm256_testz_si256(slow, slow);
}

template <int W> TW_AVX2 inline __m256i singleFast(__m256 x) {
    if constexpr (W < 4) return singleToPlane<W>(x);
    else return singleToFullScale(x);
}

template <int W> TW_AVX2 inline __m256i singleSlow(__m256 x, __m256i& clipped) {
    x = clipUnit(x, clipped);
    if constexpr (W < 4) return singleToPlane<W>(x);
    else return singlesThroughDoubles<4>(x);
}

// While it lives, no floating-point exception traps (the 32-bit path converts
// 2^31 on purpose) and, when asked, arithmetic rounds toward zero; the caller's
// mode and flags come back after. The portable loops and the double path need
// the usual rounding.
class KernelFloatMode {
public:
    explicit KernelFloatMode(bool towardZero) : saved_(_mm_getcsr()) {
        unsigned mode = saved_ | _MM_MASK_MASK;
        if (towardZero) mode = (mode & ~_MM_ROUND_MASK) | _MM_ROUND_TOWARD_ZERO;
        _mm_setcsr(mode);
    }
    ~KernelFloatMode() { _mm_setcsr(saved_); }
    KernelFloatMode(const KernelFloatMode&) = delete;
    KernelFloatMode& operator=(const KernelFloatMode&) = delete;

private:
    unsigned saved_;
};

// The whole steps; out of line so that no arithmetic moves across the change
// of mode around the call.
template <int W, int C>
[[gnu::noinline]] TW_AVX2 size_t singlesToDeviceSteps(uint8_t* const* rows, uint8_t* out, size_t n, int& clipped) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    __m256i clip = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        const bool roomAfter = i + 2 * kStep <= n;
        const __m256 a = _mm256_loadu_ps(reinterpret_cast<const float*>(row[0] + i * 4));
        const __m256 b = C == 2 ? _mm256_loadu_ps(reinterpret_cast<const float*>(row[1] + i * 4)) : a;
        __m256i pa, pb;
        if (!needsSlowPath<W>(a, b)) [[likely]] {
            pa = singleFast<W>(a);
            pb = C == 2 ? singleFast<W>(b) : pa;
        } else {
            pa = singleSlow<W>(a, clip);
            pb = C == 2 ? singleSlow<W>(b, clip) : pa;
        }
        constexpr int first = W == 3 ? 0 : 1;  // singleToPlane<3> gives the sample in bytes 0..2
        if constexpr (C == 1) storeMono<W, first>(out + i * W, pa, roomAfter);
        else storeStereo<W, first>(out + i * 2 * W, pa, pb, roomAfter);
    }
    clipped = !_mm256_testz_si256(clip, clip);
    return i;
}

template <int W, int C>
TW_AVX2 int singlesToDevice(uint8_t* const* rows, uint8_t* out, size_t n) {
    int clipped = 0;
    size_t done;
    {
        const KernelFloatMode mode(W < 4);
        done = singlesToDeviceSteps<W, C>(rows, out, n, clipped);
    }
    return clipped | tailToDevice<float, W, C>(rows, out, done, n);
}

// ---- Double hosts to device bytes.

template <int W> TW_AVX2 inline __m256i doublesToPlane(const uint8_t* p, __m256i& clipped) {
    __m256d x0 = _mm256_loadu_pd(reinterpret_cast<const double*>(p));
    __m256d x1 = _mm256_loadu_pd(reinterpret_cast<const double*>(p + 32));
    const __m256d slow = _mm256_or_pd(outOfRange(x0), outOfRange(x1));
    if (!_mm256_testz_pd(slow, slow)) [[unlikely]] {
        x0 = clipUnit(x0, clipped);
        x1 = clipUnit(x1, clipped);
    }
    return unitToPlane(unitToPlane<W>(x0), unitToPlane<W>(x1));
}

template <int W, int C>
TW_AVX2 int doublesToDevice(uint8_t* const* rows, uint8_t* out, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    __m256i clipped = _mm256_setzero_si256();
    size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        const bool roomAfter = i + 2 * kStep <= n;
        const __m256i a = doublesToPlane<W>(row[0] + i * 8, clipped);
        if constexpr (C == 1) storeMono<W>(out + i * W, a, roomAfter);
        else storeStereo<W>(out + i * 2 * W, a, doublesToPlane<W>(row[1] + i * 8, clipped), roomAfter);
    }
    return static_cast<int>(!_mm256_testz_si256(clipped, clipped)) | tailToDevice<double, W, C>(rows, out, i, n);
}

// ---- Device bytes to float hosts.

template <int W> TW_AVX2 inline __m256d planeToUnit(__m128i v) {
    const __m256d x = _mm256_cvtepi32_pd(v);
    if constexpr (W == 1) {
        // The quotient b / 127.5 from the product with the reciprocal and one
        // correction step: it rounds as the division for all 256 values.
        const __m256d reciprocal = _mm256_set1_pd(1 / kToUnitDivisor<1>);
        const __m256d q = _mm256_mul_pd(x, reciprocal);
        const __m256d error = _mm256_fnmadd_pd(q, _mm256_set1_pd(kToUnitDivisor<1>), x);  // x - q * 127.5, exact
        return _mm256_sub_pd(_mm256_fmadd_pd(error, reciprocal, q), _mm256_set1_pd(1.0));
    } else {
        return _mm256_mul_pd(x, _mm256_set1_pd(1 / kToUnitDivisor<W>));  // exact: a power of 2
    }
}

// Single results. Scaling by a power of 2 commutes with rounding, so widths 2
// to 4 round first and scale in single precision. For 8 bits the rounded
// unit value is the single nearest (2b - 255) / 255 for all 256 values; the
// product with the reciprocal and one correction step gives that quotient.
template <int W> TW_AVX2 inline __m256 planeToSingle(__m256i v) {
    if constexpr (W == 1) {
        const __m256 t = _mm256_cvtepi32_ps(_mm256_sub_epi32(_mm256_add_epi32(v, v), _mm256_set1_epi32(255)));
        const float divisor = static_cast<float>(2 * kToUnitDivisor<1>);
        const __m256 reciprocal = _mm256_set1_ps(1 / divisor);
        const __m256 q = _mm256_mul_ps(t, reciprocal);
        const __m256 error = _mm256_fnmadd_ps(q, _mm256_set1_ps(divisor), t);  // t - q * 255, exact
        return _mm256_fmadd_ps(error, reciprocal, q);
    } else {
        return _mm256_mul_ps(_mm256_cvtepi32_ps(v), _mm256_set1_ps(static_cast<float>(1 / kToUnitDivisor<W>)));
    }
}

template <int W, class H> TW_AVX2 inline void planeToFloatHost(__m256i v, uint8_t* p) {
    if constexpr (std::is_same_v<H, float>) {
        _mm256_storeu_ps(reinterpret_cast<float*>(p), planeToSingle<W>(v));
    } else {
        _mm256_storeu_pd(reinterpret_cast<double*>(p), planeToUnit<W>(_mm256_castsi256_si128(v)));
        _mm256_storeu_pd(reinterpret_cast<double*>(p + 32), planeToUnit<W>(_mm256_extracti128_si256(v, 1)));
    }
}

// 8-bit devices to single hosts: 16 device bytes per step, as two vectors of
// eight samples (left and right, or two runs of mono). Each byte b goes into
// the mantissa of 2^23, so that subtracting 2^23 and then 127.5 leaves
// b - 127.5 exactly; its quotient by 127.5, from the reciprocal and one
// correction, is the unit value rounded as (2b - 255) / 255 is (see
// planeToSingle).
template <int C>
TW_AVX2 int bytesToSingles(uint8_t* const* rows, uint8_t* in, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    const __m256i magic = _mm256_castps_si256(_mm256_set1_ps(8388608.0f));
    const float divisor = static_cast<float>(kToUnitDivisor<1>);
    const __m256 reciprocal = _mm256_set1_ps(1 / divisor);
    // Device byte of each dword lane (the same 16 bytes are in both halves).
    const __m256i pick[2] = {
        C == 2 ? _mm256_setr_epi8(0, -1, -1, -1, 2, -1, -1, -1, 4, -1, -1, -1, 6, -1, -1, -1,  //
                                  8, -1, -1, -1, 10, -1, -1, -1, 12, -1, -1, -1, 14, -1, -1, -1)
               : _mm256_setr_epi8(0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, 3, -1, -1, -1,  //
                                  4, -1, -1, -1, 5, -1, -1, -1, 6, -1, -1, -1, 7, -1, -1, -1),
        C == 2 ? _mm256_setr_epi8(1, -1, -1, -1, 3, -1, -1, -1, 5, -1, -1, -1, 7, -1, -1, -1,  //
                                  9, -1, -1, -1, 11, -1, -1, -1, 13, -1, -1, -1, 15, -1, -1, -1)
               : _mm256_setr_epi8(8, -1, -1, -1, 9, -1, -1, -1, 10, -1, -1, -1, 11, -1, -1, -1,  //
                                  12, -1, -1, -1, 13, -1, -1, -1, 14, -1, -1, -1, 15, -1, -1, -1)};
    constexpr size_t step = 16 / C;
    size_t i = 0;
    for (; i + step <= n; i += step) {
        const __m256i bytes = _mm256_broadcastsi128_si256(load128(in + i * C));
        for (int k = 0; k < 2; ++k) {
            const __m256i lanes = _mm256_or_si256(_mm256_shuffle_epi8(bytes, pick[k]), magic);
            const __m256 b = _mm256_sub_ps(_mm256_castsi256_ps(lanes), _mm256_castsi256_ps(magic));
            const __m256 t = _mm256_sub_ps(b, _mm256_set1_ps(divisor));  // b - 127.5, exact
            const __m256 q = _mm256_mul_ps(t, reciprocal);
            const __m256 error = _mm256_fnmadd_ps(q, _mm256_set1_ps(divisor), t);  // t - q * 127.5, exact
            uint8_t* to = C == 2 ? row[k] + i * 4 : row[0] + (i + 8 * k) * 4;
            _mm256_storeu_ps(reinterpret_cast<float*>(to), _mm256_fmadd_ps(error, reciprocal, q));
        }
    }
    return tailFromDevice<float, 1, C>(rows, in, i, n);
}

template <class H, int W, int C>
TW_AVX2 int deviceToFloats(uint8_t* const* rows, uint8_t* in, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        if constexpr (W <= 2) {
            // 16-bit samples as full-scale values, which scale like 32-bit ones.
            __m256i v[C];
            loadNarrowLanes<W, C, W == 2>(in + i * C * W, v);
            for (int c = 0; c < C; ++c) planeToFloatHost<W == 2 ? 4 : 1, H>(v[c], row[c] + i * sizeof(H));
        } else if constexpr (C == 1) {
            planeToFloatHost<W, H>(loadMono<W>(in, i * W, n * W), row[0] + i * sizeof(H));
        } else {
            __m256i a, b;
            loadStereo<W>(in, i * 2 * W, n * 2 * W, a, b);
            planeToFloatHost<W, H>(a, row[0] + i * sizeof(H));
            planeToFloatHost<W, H>(b, row[1] + i * sizeof(H));
        }
    }
    return tailFromDevice<H, W, C>(rows, in, i, n);
}

}  // namespace tw::convert::avx2
