// The tables of vector kernels: every pair at most once, every AVX-512 row
// backed by the AVX2 row that converts its last frames. Prints which pairs
// each instruction set covers.
#include <gtest/gtest.h>

#include <iomanip>
#include <iostream>
#include <set>
#include <sstream>
#include <tuple>

#include "convert/SampleConverter.h"
#include "convert/SimdKernels.h"
#include "tonewell/tonewell.h"

namespace {

using tw::convert::Direction;
using tw::convert::SimdKernel;

const char* typeName(uint16_t type) {
    switch (type) {
        case TW_TYPE_U8: return "u8";
        case TW_TYPE_I16: return "i16";
        case TW_TYPE_I32: return "i32";
        case TW_TYPE_F32: return "f32";
        default: return "f64";
    }
}

using Key = std::tuple<uint16_t, uint32_t, uint32_t, Direction>;
Key keyOf(const SimdKernel& k) { return {k.typeCode, k.width, k.channels, k.direction}; }

std::string describe(const SimdKernel& k) {
    std::ostringstream s;
    s << typeName(k.typeCode) << (k.direction == Direction::toDevice ? "->w" : "<-w") << int{k.width} << " x"
      << int{k.channels};
    return s.str();
}

TEST(SimdKernelTables, RowsAreWellFormedAndUnique) {
    for (auto table : {tw::convert::avx2Kernels(), tw::convert::avx512Kernels()}) {
        std::set<Key> seen;
        for (const SimdKernel& k : table) {
            SCOPED_TRACE(describe(k));
            EXPECT_NE(k.convert, nullptr);
            EXPECT_TRUE(k.width >= 1 && k.width <= 4);
            EXPECT_TRUE(k.channels == 1 || k.channels == 2);
            EXPECT_TRUE(tw::isSampleType(k.typeCode));
            EXPECT_TRUE(seen.insert(keyOf(k)).second) << "listed twice";
        }
    }
}

TEST(SimdKernelTables, EveryAvx512RowHasAnAvx2RowForItsTail) {
    std::set<Key> avx2;
    for (const SimdKernel& k : tw::convert::avx2Kernels()) avx2.insert(keyOf(k));
    for (const SimdKernel& k : tw::convert::avx512Kernels())
        EXPECT_TRUE(avx2.count(keyOf(k)) == 1) << describe(k) << " has no AVX2 kernel for its tail";
}

void printCoverage(const char* name, const std::set<Key>& has) {
    std::ostringstream out;
    out << name << " kernels (channel counts covered; - = portable loops)\n"
        << "  host    w1   w2   w3   w4\n";
    for (uint16_t type : {TW_TYPE_U8, TW_TYPE_I16, TW_TYPE_I32, TW_TYPE_F32, TW_TYPE_F64})
        for (Direction d : {Direction::toDevice, Direction::fromDevice}) {
            out << "  " << std::left << std::setw(3) << typeName(type) << (d == Direction::toDevice ? "->" : "<-");
            for (uint32_t w = 1; w <= 4; ++w) {
                const bool mono = has.count({type, w, 1, d}) != 0, stereo = has.count({type, w, 2, d}) != 0;
                out << "   " << std::setw(2) << (mono && stereo ? "12" : mono ? "1" : stereo ? "2" : "-");
            }
            out << "\n";
        }
    std::cout << out.str();
}

// AVX2 is what most hosts run: it covers every mono and stereo pair but the
// plain copies (same width and integer type, mono), which the caller does
// with memcpy. Prints the coverage matrix of both sets.
TEST(SimdKernelTables, Avx2CoversEveryPairButMonoCopies) {
    std::set<Key> avx2, avx512;
    for (const SimdKernel& k : tw::convert::avx2Kernels()) avx2.insert(keyOf(k));
    for (const SimdKernel& k : tw::convert::avx512Kernels()) avx512.insert(keyOf(k));
    for (uint16_t type : {TW_TYPE_U8, TW_TYPE_I16, TW_TYPE_I32, TW_TYPE_F32, TW_TYPE_F64})
        for (uint32_t w = 1; w <= 4; ++w)
            for (uint32_t c = 1; c <= 2; ++c)
                for (Direction d : {Direction::toDevice, Direction::fromDevice}) {
                    const bool copy = c == 1 && ((type == TW_TYPE_U8 && w == 1) || (type == TW_TYPE_I16 && w == 2) ||
                                                 (type == TW_TYPE_I32 && w == 4));
                    EXPECT_EQ(avx2.count({type, w, c, d}), copy ? 0u : 1u)
                        << typeName(type) << (d == Direction::toDevice ? "->w" : "<-w") << w << " x" << c;
                }
    printCoverage("AVX2", avx2);
    printCoverage("AVX-512", avx512);
}

}  // namespace
