// The tables of vector kernels: every AVX-512 row backed by the AVX2 row that
// converts its last frames, and what AVX2 covers. (What each kernel converts
// the reference tests hold; a row the dispatcher cannot place is ignored.)
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <tuple>

#include "convert/SampleConverter.h"
#include "convert/SampleTypes.h"
#include "convert/SimdKernels.h"

namespace {

using tw::convert::Direction;
using tw::convert::sampleTypeName;
using tw::convert::SimdKernel;

using Key = std::tuple<uint16_t, uint32_t, uint32_t, Direction>;

std::set<Key> keys(std::span<const SimdKernel> table) {
    std::set<Key> out;
    for (const SimdKernel& k : table) out.insert({k.typeCode, k.width, k.channels, k.direction});
    return out;
}

std::string describe(uint16_t type, uint32_t width, uint32_t channels, Direction d) {
    std::ostringstream s;
    s << sampleTypeName(type) << (d == Direction::toDevice ? "->w" : "<-w") << width << " x" << channels;
    return s.str();
}

TEST(SimdKernelTables, EveryAvx512RowHasAnAvx2RowForItsTail) {
    const std::set<Key> avx2 = keys(tw::convert::avx2Kernels());
    for (const Key& k : keys(tw::convert::avx512Kernels()))
        EXPECT_EQ(avx2.count(k), 1u) << describe(std::get<0>(k), std::get<1>(k), std::get<2>(k),
                                                 std::get<3>(k))
                                     << " has no AVX2 kernel for its tail";
}

// AVX2 is what most hosts run: it covers every mono and stereo pair but the
// plain copies (same width and integer type, mono), which the caller does
// with memcpy.
TEST(SimdKernelTables, Avx2CoversEveryPairButMonoCopies) {
    const std::set<Key> avx2 = keys(tw::convert::avx2Kernels());
    for (uint16_t type : tw::convert::kSampleTypeCodes)
        for (Direction d : {Direction::toDevice, Direction::fromDevice})
            for (uint32_t w = 1; w <= 4; ++w)
                for (uint32_t c = 1; c <= 2; ++c) {
                    const bool copy =
                        c == 1 && ((type == TW_TYPE_U8 && w == 1) || (type == TW_TYPE_I16 && w == 2) ||
                                   (type == TW_TYPE_I32 && w == 4));
                    EXPECT_EQ(avx2.count({type, w, c, d}), copy ? 0u : 1u) << describe(type, w, c, d);
                }
}

}  // namespace
