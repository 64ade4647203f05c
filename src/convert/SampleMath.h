// Per-sample arithmetic between host elements and PCM samples. Everything is
// inline so that the row loops built on it vectorise.
//
// A device sample of width W is held in a "plane" value while it is not in
// interleaved bytes: width 1 as uint8_t, 2 as int16_t, 3 and 4 as int32_t. The
// 3-byte plane value is the full-scale value (its bytes are bits 8..31).
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace tw::convert {

template <int W> struct PlaneOf;
template <> struct PlaneOf<1> { using type = uint8_t; };
template <> struct PlaneOf<2> { using type = int16_t; };
template <> struct PlaneOf<3> { using type = int32_t; };
template <> struct PlaneOf<4> { using type = int32_t; };
template <int W> using Plane = typename PlaneOf<W>::type;

// ---- Integer samples through the full-scale value (sample bits at the top).

inline int32_t toFullScale(uint8_t b) { return static_cast<int32_t>(uint32_t{b ^ 0x80u} << 24); }
inline int32_t toFullScale(int16_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v) << 16); }
inline int32_t toFullScale(int32_t v) { return v; }

template <class T> T fromFullScale(int32_t f);
template <> inline uint8_t fromFullScale<uint8_t>(int32_t f) {
    return static_cast<uint8_t>((static_cast<uint32_t>(f) ^ 0x80000000u) >> 24);
}
template <> inline int16_t fromFullScale<int16_t>(int32_t f) { return static_cast<int16_t>(f >> 16); }
template <> inline int32_t fromFullScale<int32_t>(int32_t f) { return f; }

// ---- Samples with a float side go through a unit value in double.
//
// Every scale factor lives here; the vector kernels take the same ones, to
// give the same bits.

// Plane values to unit values: v / divisor, and for 8 bits minus 1.0. 127.5
// is formed as 255 / 2.0.
template <int W>
inline constexpr double kToUnitDivisor = W == 1 ? 255 / 2.0 : W == 2 ? 32768.0 : 2147483648.0;

template <int W> double toUnit(Plane<W> v);
template <> inline double toUnit<1>(uint8_t b) { return static_cast<double>(b) / kToUnitDivisor<1> - 1.0; }
template <> inline double toUnit<2>(int16_t v) { return static_cast<double>(v) / kToUnitDivisor<2>; }
template <> inline double toUnit<3>(int32_t f) { return static_cast<double>(f) / kToUnitDivisor<3>; }
template <> inline double toUnit<4>(int32_t v) { return static_cast<double>(v) / kToUnitDivisor<4>; }

// Unit values to plane values: (x + 1) * scale for 8 bits, x * scale above,
// truncated.
template <int W>
inline constexpr double kFromUnitScale = W == 1 ? 255 / 2.0 : W == 2 ? 32767.0 : W == 3 ? 2147483392.0 : 2147483647.0;

// x must lie in [-1, 1]: every result then fits its integer type.
template <int W> Plane<W> fromUnit(double x);
template <> inline uint8_t fromUnit<1>(double x) {
    return static_cast<uint8_t>(static_cast<int32_t>((x + 1.0) * kFromUnitScale<1>));
}
template <> inline int16_t fromUnit<2>(double x) {
    return static_cast<int16_t>(static_cast<int32_t>(x * kFromUnitScale<2>));
}
template <> inline int32_t fromUnit<3>(double x) { return static_cast<int32_t>(x * kFromUnitScale<3>); }
template <> inline int32_t fromUnit<4>(double x) { return static_cast<int32_t>(x * kFromUnitScale<4>); }

// Clips x to [-1, 1]; sets `clipped` when it had to. NaN has no integer
// value, so it is played as silence (0.0), without the clip warning.
inline double clipUnit(double x, int& clipped) {
    const bool low = x < -1.0;
    const bool high = x > 1.0;
    clipped |= static_cast<int>(low | high);
    x = low ? -1.0 : x;
    x = high ? 1.0 : x;
    return x == x ? x : 0.0;
}

// ---- Unaligned access: host and device bytes carry no alignment promise.

template <class T> inline T load(const void* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <class T> inline void store(void* p, T v) { std::memcpy(p, &v, sizeof v); }

// A plane value to or from its W bytes of interleaved PCM.
template <int W> inline void storeSample(uint8_t* p, Plane<W> v) {
    if constexpr (W == 3) {
        const auto u = static_cast<uint32_t>(v);
        p[0] = static_cast<uint8_t>(u >> 8);
        p[1] = static_cast<uint8_t>(u >> 16);
        p[2] = static_cast<uint8_t>(u >> 24);
    } else {
        store(p, v);
    }
}
template <int W> inline Plane<W> loadSample(const uint8_t* p) {
    if constexpr (W == 3) {
        return static_cast<int32_t>(uint32_t{p[0]} << 8 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 24);
    } else {
        return load<Plane<W>>(p);
    }
}

}  // namespace tw::convert
