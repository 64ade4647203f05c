// a * b / c with the product held in 128 bits, in plain 64-bit arithmetic:
// i686 compilers have no 128-bit integer type. Truncates toward zero and
// keeps the quotient's low 64 bits, as a cast from a 128-bit quotient does.
// c must be positive.
#pragma once

#include <cstdint>

namespace twm {

constexpr int64_t mulDiv(int64_t a, int64_t b, int64_t c) {
    int64_t product = 0;
    if (!__builtin_mul_overflow(a, b, &product)) return product / c;

    // Magnitudes, so that INT64_MIN has one too.
    const bool negative = (a < 0) != (b < 0);
    const uint64_t ua = a < 0 ? 0 - static_cast<uint64_t>(a) : static_cast<uint64_t>(a);
    const uint64_t ub = b < 0 ? 0 - static_cast<uint64_t>(b) : static_cast<uint64_t>(b);
    const uint64_t uc = static_cast<uint64_t>(c);

    // The 128-bit product from 32-bit halves.
    constexpr uint64_t kLow = 0xFFFFFFFFu;
    const uint64_t ll = (ua & kLow) * (ub & kLow), lh = (ua & kLow) * (ub >> 32);
    const uint64_t hl = (ua >> 32) * (ub & kLow), hh = (ua >> 32) * (ub >> 32);
    const uint64_t middle = (ll >> 32) + (lh & kLow) + (hl & kLow);
    const uint64_t low = middle << 32 | (ll & kLow);
    const uint64_t high = hh + (lh >> 32) + (hl >> 32) + (middle >> 32);

    // Long division, one bit at a time; the quotient's high word is dropped.
    uint64_t rest = high % uc, quotient = 0;
    for (int bit = 63; bit >= 0; --bit) {
        const bool carry = rest >> 63;
        rest = rest << 1 | (low >> bit & 1);
        quotient <<= 1;
        if (carry || rest >= uc) {
            rest -= uc;
            quotient |= 1;
        }
    }
    return static_cast<int64_t>(negative ? 0 - quotient : quotient);
}

}  // namespace twm
