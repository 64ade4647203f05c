// AVX2 kernels between integer hosts and device bytes. Included only by
// SimdKernelsAvx2.cpp.
#pragma once

#include "convert/SimdAvx2Common.h"

namespace tw::convert::avx2 {

// ---- Through full-scale values in int32 lanes, eight frames per step.

template <class H> TW_AVX2 inline __m256i loadFullScale(const uint8_t* p) {
    if constexpr (std::is_same_v<H, uint8_t>) return _mm256_slli_epi32(_mm256_xor_si256(_mm256_cvtepu8_epi32(load64(p)), _mm256_set1_epi32(0x80)), 24);
    else if constexpr (std::is_same_v<H, int16_t>) return _mm256_slli_epi32(_mm256_cvtepi16_epi32(load128(p)), 16);
    else return load256(p);
}

template <int W> TW_AVX2 inline __m256i fullScaleToPlane(__m256i f) {
    if constexpr (W == 1) return _mm256_srli_epi32(_mm256_xor_si256(f, _mm256_set1_epi32(INT32_MIN)), 24);
    else if constexpr (W == 2) return _mm256_srai_epi32(f, 16);
    else return f;
}

template <int W> TW_AVX2 inline __m256i planeToFullScale(__m256i v) {
    if constexpr (W == 1) return _mm256_slli_epi32(_mm256_xor_si256(v, _mm256_set1_epi32(0x80)), 24);
    else if constexpr (W == 2) return _mm256_slli_epi32(v, 16);
    else return v;
}

template <class H, int W, int C>
TW_AVX2 int integersToDevice(uint8_t* const* rows, uint8_t* out, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        const bool roomAfter = i + 2 * kStep <= n;
        const __m256i a = fullScaleToPlane<W>(loadFullScale<H>(row[0] + i * sizeof(H)));
        if constexpr (C == 1) storeMono<W>(out + i * W, a, roomAfter);
        else storeStereo<W>(out + i * 2 * W, a, fullScaleToPlane<W>(loadFullScale<H>(row[1] + i * sizeof(H))), roomAfter);
    }
    return tailToDevice<H, W, C>(rows, out, i, n);
}

template <class H> TW_AVX2 inline void storeFullScale(uint8_t* p, __m256i f) {
    if constexpr (std::is_same_v<H, int32_t>) store256(p, f);
    else if constexpr (std::is_same_v<H, int16_t>) storeMono<2>(p, fullScaleToPlane<2>(f), false);
    else storeMono<1>(p, fullScaleToPlane<1>(f), false);
}

template <class H, int W, int C>
TW_AVX2 int deviceToIntegers(uint8_t* const* rows, uint8_t* in, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    size_t i = 0;
    for (; i + kStep <= n; i += kStep) {
        if constexpr (W <= 2) {
            __m256i f[C];
            loadNarrowLanes<W, C>(in + i * C * W, f);
            for (int c = 0; c < C; ++c) storeFullScale<H>(row[c] + i * sizeof(H), f[c]);
        } else if constexpr (C == 1) {
            storeFullScale<H>(row[0] + i * sizeof(H), planeToFullScale<W>(loadMono<W>(in, i * W, n * W)));
        } else {
            __m256i a, b;
            loadStereo<W>(in, i * 2 * W, n * 2 * W, a, b);
            storeFullScale<H>(row[0] + i * sizeof(H), planeToFullScale<W>(a));
            storeFullScale<H>(row[1] + i * sizeof(H), planeToFullScale<W>(b));
        }
    }
    return tailFromDevice<H, W, C>(rows, in, i, n);
}

// ---- 8- and 16-bit hosts with 8- and 16-bit devices: sixteen samples per
// step in int16 lanes.

template <class H> TW_AVX2 inline __m256i loadNarrow(const uint8_t* p) {
    if constexpr (std::is_same_v<H, uint8_t>) return _mm256_cvtepu8_epi16(load128(p));
    else return load256(p);
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
    if constexpr (Size == 2) store256(out, v);
    else store128(out, _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi16(v, v), 0x08)));
}

// 32 values in order, z0 then z1.
template <int Size> TW_AVX2 inline void storeNarrow32(uint8_t* out, __m256i z0, __m256i z1) {
    if constexpr (Size == 2) {
        store256(out, z0);
        store256(out + 32, z1);
    } else {
        store256(out, _mm256_permute4x64_epi64(_mm256_packus_epi16(z0, z1), 0xD8));
    }
}

template <class H, int W, int C>
TW_AVX2 int narrowToDevice(uint8_t* const* rows, uint8_t* out, size_t i, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    constexpr int hostSize = sizeof(H);
    for (; i + 16 <= n; i += 16) {
        const __m256i a = narrowConvert<hostSize, W>(loadNarrow<H>(row[0] + i * hostSize));
        if constexpr (C == 1) {
            storeNarrow16<W>(out + i * W, a);
        } else {
            const __m256i b = narrowConvert<hostSize, W>(loadNarrow<H>(row[1] + i * hostSize));
            const __m256i lo = _mm256_unpacklo_epi16(a, b);
            const __m256i hi = _mm256_unpackhi_epi16(a, b);
            storeNarrow32<W>(out + i * 2 * W, _mm256_permute2x128_si256(lo, hi, 0x20),
                             _mm256_permute2x128_si256(lo, hi, 0x31));
        }
    }
    return tailToDevice<H, W, C>(rows, out, i, n);
}

template <class H, int W, int C>
TW_AVX2 int narrowFromDevice(uint8_t* const* rows, uint8_t* in, size_t i, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    constexpr int hostSize = sizeof(H);
    for (; i + 16 <= n; i += 16) {
        if constexpr (C == 1) {
            storeNarrow16<hostSize>(row[0] + i * hostSize, narrowConvert<W, hostSize>(loadNarrow<Plane<W>>(in + i * W)));
        } else {
            // Per 128-bit lane: the four left samples, then the four right ones.
            const __m256i split = TW_LANES(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15);
            const uint8_t* frames = in + i * 2 * W;
            const __m256i t0 = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(loadNarrow<Plane<W>>(frames), split), 0xD8);
            const __m256i t1 =
                _mm256_permute4x64_epi64(_mm256_shuffle_epi8(loadNarrow<Plane<W>>(frames + 16 * W), split), 0xD8);
            storeNarrow16<hostSize>(row[0] + i * hostSize,
                                    narrowConvert<W, hostSize>(_mm256_permute2x128_si256(t0, t1, 0x20)));
            storeNarrow16<hostSize>(row[1] + i * hostSize,
                                    narrowConvert<W, hostSize>(_mm256_permute2x128_si256(t0, t1, 0x31)));
        }
    }
    return tailFromDevice<H, W, C>(rows, in, i, n);
}

template <int (*Kernel)(uint8_t* const*, uint8_t*, size_t, size_t)>
int fromStart(uint8_t* const* rows, uint8_t* device, size_t n) {
    return Kernel(rows, device, 0, n);
}

// Unsigned 8-bit host and device: stereo interleaving of bytes.
TW_AVX2 inline int interleaveBytes(uint8_t* const* rows, uint8_t* out, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i l = _mm256_permute4x64_epi64(load256(row[0] + i), 0xD8);
        const __m256i r = _mm256_permute4x64_epi64(load256(row[1] + i), 0xD8);
        store256(out + 2 * i, _mm256_unpacklo_epi8(l, r));
        store256(out + 2 * i + 32, _mm256_unpackhi_epi8(l, r));
    }
    return narrowToDevice<uint8_t, 1, 2>(rows, out, i, n);
}

TW_AVX2 inline int deinterleaveBytes(uint8_t* const* rows, uint8_t* in, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    // Per 128-bit lane: the eight left samples, then the eight right ones.
    const __m256i split = TW_LANES(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15);
    size_t i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i t0 = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(load256(in + 2 * i), split), 0xD8);
        const __m256i t1 = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(load256(in + 2 * i + 32), split), 0xD8);
        store256(row[0] + i, _mm256_permute2x128_si256(t0, t1, 0x20));
        store256(row[1] + i, _mm256_permute2x128_si256(t0, t1, 0x31));
    }
    return narrowFromDevice<uint8_t, 1, 2>(rows, in, i, n);
}

// 16-bit hosts to 8-bit stereo devices: the top bytes of both rows, packed
// side by side in each lane, then interleaved.
TW_AVX2 inline int wordsToBytesStereo(uint8_t* const* rows, uint8_t* out, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    const __m256i interleave = TW_LANES(0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15);
    size_t i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m256i l = _mm256_srli_epi16(load256(row[0] + 2 * i), 8);
        const __m256i r = _mm256_srli_epi16(load256(row[1] + 2 * i), 8);
        const __m256i bytes = _mm256_shuffle_epi8(_mm256_packus_epi16(l, r), interleave);
        store256(out + 2 * i, _mm256_xor_si256(bytes, _mm256_set1_epi8(static_cast<char>(0x80))));
    }
    return tailToDevice<int16_t, 1, 2>(rows, out, i, n);
}

// 8-bit devices to 16-bit hosts: each byte b becomes the word (b ^ 0x80) << 8,
// an unpack with zero bytes.
template <int C>
TW_AVX2 int bytesToWordsHost(uint8_t* const* rows, uint8_t* in, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    const __m256i zero = _mm256_setzero_si256(), flip = _mm256_set1_epi8(static_cast<char>(0x80));
    constexpr size_t step = 32 / C;
    size_t i = 0;
    for (; i + step <= n; i += step) {
        const __m256i v = _mm256_xor_si256(load256(in + i * C), flip);
        if constexpr (C == 1) {
            const __m256i lo = _mm256_unpacklo_epi8(zero, v), hi = _mm256_unpackhi_epi8(zero, v);
            store256(row[0] + 2 * i, _mm256_permute2x128_si256(lo, hi, 0x20));
            store256(row[0] + 2 * i + 32, _mm256_permute2x128_si256(lo, hi, 0x31));
        } else {
            // Per lane: eight left bytes, eight right ones.
            const __m256i t = _mm256_shuffle_epi8(v, TW_LANES(0, 2, 4, 6, 8, 10, 12, 14, 1, 3, 5, 7, 9, 11, 13, 15));
            store256(row[0] + 2 * i, _mm256_unpacklo_epi8(zero, t));
            store256(row[1] + 2 * i, _mm256_unpackhi_epi8(zero, t));
        }
    }
    return tailFromDevice<int16_t, 1, C>(rows, in, i, n);
}

// 8- and 16-bit hosts to 32-bit devices: each sample at the top of its lane,
// zeros below. 16 frames per step.
template <class H, int C>
TW_AVX2 int narrowTo32(uint8_t* const* rows, uint8_t* out, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    constexpr size_t step = 16;
    size_t i = 0;
    for (; i + step <= n; i += step) {
        uint8_t* to = out + i * C * 4;
        if constexpr (std::is_same_v<H, int16_t>) {
            const __m256i zero = _mm256_setzero_si256();
            // Words in the order of the frames' samples, 16 per vector.
            __m256i words[C];
            if constexpr (C == 1) {
                words[0] = load256(row[0] + 2 * i);
            } else {
                const __m256i a = _mm256_permute4x64_epi64(load256(row[0] + 2 * i), 0xD8);
                const __m256i b = _mm256_permute4x64_epi64(load256(row[1] + 2 * i), 0xD8);
                words[0] = _mm256_unpacklo_epi16(a, b);
                words[1] = _mm256_unpackhi_epi16(a, b);
            }
            for (int k = 0; k < C; ++k) {
                const __m256i w = _mm256_permute4x64_epi64(words[k], 0xD8);
                store256(to + 64 * k, _mm256_unpacklo_epi16(zero, w));
                store256(to + 64 * k + 32, _mm256_unpackhi_epi16(zero, w));
            }
        } else {
            const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
            __m128i bytes[C];
            if constexpr (C == 1) {
                bytes[0] = _mm_xor_si128(load128(row[0] + i), flip);
            } else {
                const __m128i l = _mm_xor_si128(load128(row[0] + i), flip), r = _mm_xor_si128(load128(row[1] + i), flip);
                bytes[0] = _mm_unpacklo_epi8(l, r);
                bytes[1] = _mm_unpackhi_epi8(l, r);
            }
            // Samples 0..3 | 4..7, then 8..11 | 12..15 of each run of 16.
            const __m256i first = _mm256_setr_epi8(-1, -1, -1, 0, -1, -1, -1, 1, -1, -1, -1, 2, -1, -1, -1, 3,
                                                   -1, -1, -1, 4, -1, -1, -1, 5, -1, -1, -1, 6, -1, -1, -1, 7);
            const __m256i second = _mm256_or_si256(first, _mm256_set1_epi8(8));  // -1 stays -1
            for (int k = 0; k < C; ++k) {
                const __m256i both = _mm256_set_m128i(bytes[k], bytes[k]);
                store256(to + 64 * k, _mm256_shuffle_epi8(both, first));
                store256(to + 64 * k + 32, _mm256_shuffle_epi8(both, second));
            }
        }
    }
    return tailToDevice<H, 4, C>(rows, out, i, n);
}

// ---- Byte shuffles: tables built from where each output byte comes from.

// ---- 8- and 16-bit hosts to 24-bit devices: 32 samples (96 bytes) per
// step, three shuffles that each fill 32 bytes.
//
// The interleaved samples s0..s31 lie in four 16-byte runs X0..X3 (8 words or,
// for 8-bit hosts, 16 bytes each). Output bytes 16m..16m+15 come from one run,
// or for words from X0 (X2) shifted by five samples.

// Sample s of output chunk m is at word s - base(m) (or byte s - base(m)).
constexpr int kWordBase24[6] = {0, 5, 8, 16, 21, 24};
constexpr int kByteBase24[6] = {0, 0, 0, 16, 16, 16};

// A 16-bit sample v becomes 0, low(v), high(v); an 8-bit one b becomes
// 0, 0, b (already flipped to the signed form).
template <bool Words> constexpr LaneTable to24Table(int vector) {
    return makeLaneTable([vector](int lane, int o) {
        const int m = 2 * vector + lane, at = 16 * m + o, s = at / 3, r = at % 3;
        if constexpr (Words) return r == 0 ? -1 : 2 * (s - kWordBase24[m]) + r - 1;
        else return r == 2 ? s - kByteBase24[m] : -1;
    });
}
constexpr LaneTable kWordsTo24[3] = {to24Table<true>(0), to24Table<true>(1), to24Table<true>(2)};
constexpr LaneTable kBytesTo24[3] = {to24Table<false>(0), to24Table<false>(1), to24Table<false>(2)};

template <class H, int C>
TW_AVX2 int narrowTo24(uint8_t* const* rows, uint8_t* out, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    constexpr size_t step = 32 / C;  // frames
    size_t i = 0;
    for (; i + step <= n; i += step) {
        __m256i src[3];
        if constexpr (std::is_same_v<H, int16_t>) {
            // u = [X0 | X2], v = [X1 | X3].
            __m256i u, v;
            if constexpr (C == 2) {
                const __m256i a = load256(row[0] + i * 2), b = load256(row[1] + i * 2);
                u = _mm256_unpacklo_epi16(a, b);
                v = _mm256_unpackhi_epi16(a, b);
            } else {
                const __m256i a = load256(row[0] + i * 2), b = load256(row[0] + i * 2 + 32);
                u = _mm256_permute2x128_si256(a, b, 0x20);
                v = _mm256_permute2x128_si256(a, b, 0x31);
            }
            const __m256i shifted = _mm256_alignr_epi8(v, u, 10);  // [X0 | X2] from sample 5 on
            src[0] = _mm256_permute2x128_si256(u, shifted, 0x20);
            src[1] = _mm256_permute2x128_si256(v, u, 0x30);
            src[2] = _mm256_permute2x128_si256(shifted, v, 0x31);
        } else {
            const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
            __m128i lo, hi;  // s0..s15, s16..s31
            if constexpr (C == 2) {
                const __m128i l = _mm_xor_si128(load128(row[0] + i), flip), r = _mm_xor_si128(load128(row[1] + i), flip);
                lo = _mm_unpacklo_epi8(l, r);
                hi = _mm_unpackhi_epi8(l, r);
            } else {
                lo = _mm_xor_si128(load128(row[0] + i), flip);
                hi = _mm_xor_si128(load128(row[0] + i + 16), flip);
            }
            src[0] = _mm256_set_m128i(lo, lo);
            src[1] = _mm256_set_m128i(hi, lo);
            src[2] = _mm256_set_m128i(hi, hi);
        }
        constexpr const LaneTable* tables = std::is_same_v<H, int16_t> ? kWordsTo24 : kBytesTo24;
        uint8_t* to = out + i * C * 3;
        for (int k = 0; k < 3; ++k) store256(to + 32 * k, shuffle(src[k], tables[k]));
    }
    return tailToDevice<H, 3, C>(rows, out, i, n);
}

// ---- 24- and 32-bit devices to 8- and 16-bit hosts, and 16-bit devices to
// 8-bit hosts: the top bytes of each sample, gathered by shuffles.
//
// A vector holds eight device samples, four per lane (for 16-bit devices,
// sixteen: eight per lane). Each shuffle drops the host samples into its own
// slots, the vectors are or-ed together, and at most two more moves put the
// slots in order.

// In-lane position of byte k of sample j (24-bit samples as load24 places
// them).
template <int W> constexpr int laneByte(int lane, int j, int k) { return W == 3 ? (1 - lane) * 4 + 3 * j + k : W * j + k; }

// Host bytes of sample j: the top `size` bytes of its W.
template <int W, int Size> constexpr int topByte(int lane, int j, int k) { return laneByte<W>(lane, j, W - Size + k); }

// Stereo, 16-bit hosts (or 8-bit from 16-bit devices): vector `parity` of a
// pair puts its left samples in dword `parity` of each lane and its right ones
// in dword 2 + parity.
template <int W, int Size> constexpr LaneTable stereoPairTable(int parity) {
    return makeLaneTable([parity](int lane, int o) {
        const int dword = o / 4, at = o % 4;
        if (dword % 2 != parity) return -1;
        const int right = dword / 2, frame = at / Size, k = at % Size;
        return topByte<W, Size>(lane, 2 * frame + right, k);
    });
}

// Mono: vector `parity` of a pair fills qword `parity` of each lane.
template <int W, int Size> constexpr LaneTable monoPairTable(int parity) {
    return makeLaneTable([parity](int lane, int o) {
        if (o / 8 != parity) return -1;
        return topByte<W, Size>(lane, (o % 8) / Size, (o % 8) % Size);
    });
}

// 8-bit hosts from 24- and 32-bit devices, four vectors: stereo fills word
// `q` (left) and word 4 + q (right) of each lane; mono fills dword q.
template <int W> constexpr LaneTable stereoQuadTable(int q) {
    return makeLaneTable([q](int lane, int o) {
        const int word = o / 2, at = o % 2;
        if (word % 4 != q) return -1;
        return topByte<W, 1>(lane, 2 * at + word / 4, 0);
    });
}
template <int W> constexpr LaneTable monoQuadTable(int q) {
    return makeLaneTable([q](int lane, int o) { return o / 4 == q ? topByte<W, 1>(lane, o % 4, 0) : -1; });
}

template <int W, int Size> struct TopTables {
    static constexpr LaneTable stereoPair[2] = {stereoPairTable<W, Size>(0), stereoPairTable<W, Size>(1)};
    static constexpr LaneTable monoPair[2] = {monoPairTable<W, Size>(0), monoPairTable<W, Size>(1)};
    static constexpr LaneTable stereoQuad[4] = {stereoQuadTable<W>(0), stereoQuadTable<W>(1), stereoQuadTable<W>(2),
                                                stereoQuadTable<W>(3)};
    static constexpr LaneTable monoQuad[4] = {monoQuadTable<W>(0), monoQuadTable<W>(1), monoQuadTable<W>(2),
                                              monoQuadTable<W>(3)};
};

// Slots of two lanes in order: dword d of lane 0, dword d of lane 1, ...
TW_AVX2 inline __m256i dwordsInOrder(__m256i v) {
    return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

TW_AVX2 inline __m256i flipped(__m256i v, bool flip) {
    return flip ? _mm256_xor_si256(v, _mm256_set1_epi8(static_cast<char>(0x80))) : v;
}

// Device samples of width W to hosts of `Size` bytes (8-bit hosts have their
// top bit flipped). A step reads four vectors of samples for 16-bit hosts and
// for 8-bit ones from 16-bit devices, two for 16-bit mono.
template <class H, int W, int C>
TW_AVX2 int topBytesToHost(uint8_t* const* rows, uint8_t* in, size_t n) {
    uint8_t* const row[2] = {rows[0], rows[1]};
    constexpr int size = sizeof(H);
    constexpr bool flip = size == 1;
    constexpr size_t vectorSamples = W == 2 ? 16 : 8;
    using T = TopTables<W, size>;
    // 8-bit hosts from wider devices gather four vectors into one.
    constexpr bool quad = size == 1 && W > 2;
    constexpr size_t vectors = C == 1 && !quad ? 2 : 4;
    constexpr size_t step = vectors * vectorSamples / C;  // frames
    size_t i = 0;
    for (; i + step <= n; i += step) {
        __m256i v[vectors];
        for (size_t q = 0; q < vectors; ++q) {
            const size_t offset = (i * C + q * vectorSamples) * W;
            v[q] = W == 3 ? load24(in, offset, n * C * W) : load256(in + offset);
        }
        if constexpr (quad) {
            const LaneTable* t = C == 2 ? T::stereoQuad : T::monoQuad;
            const __m256i all = flipped(_mm256_or_si256(_mm256_or_si256(shuffle(v[0], t[0]), shuffle(v[1], t[1])),
                                                        _mm256_or_si256(shuffle(v[2], t[2]), shuffle(v[3], t[3]))),
                                        flip);
            if constexpr (C == 2) {
                const __m128i lane0 = _mm256_castsi256_si128(all), lane1 = _mm256_extracti128_si256(all, 1);
                store128(row[0] + i, _mm_unpacklo_epi16(lane0, lane1));
                store128(row[1] + i, _mm_unpackhi_epi16(lane0, lane1));
            } else {
                store256(row[0] + i, dwordsInOrder(all));
            }
        } else if constexpr (C == 2) {
            const __m256i first = dwordsInOrder(
                _mm256_or_si256(shuffle(v[0], T::stereoPair[0]), shuffle(v[1], T::stereoPair[1])));
            const __m256i second = dwordsInOrder(
                _mm256_or_si256(shuffle(v[2], T::stereoPair[0]), shuffle(v[3], T::stereoPair[1])));
            // first = [left | right] of the first half of the frames, second of the rest.
            store256(row[0] + i * size, flipped(_mm256_permute2x128_si256(first, second, 0x20), flip));
            store256(row[1] + i * size, flipped(_mm256_permute2x128_si256(first, second, 0x31), flip));
        } else {
            const __m256i both = _mm256_or_si256(shuffle(v[0], T::monoPair[0]), shuffle(v[1], T::monoPair[1]));
            store256(row[0] + i * size, flipped(_mm256_permute4x64_epi64(both, 0xD8), flip));
        }
    }
    return tailFromDevice<H, W, C>(rows, in, i, n);
}

}  // namespace tw::convert::avx2
