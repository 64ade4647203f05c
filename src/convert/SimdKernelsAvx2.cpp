// The AVX2 kernels and the table of the pairs they cover. The families are in
// SimdAvx2Float.h (a float side) and SimdAvx2Integer.h (integers only); each
// gives the same bits as the portable loops.
#include "convert/SimdKernels.h"

#include "tonewell/tonewell.h"

#if defined(__x86_64__) || defined(__i386__)

#include "convert/SimdAvx2Float.h"
#include "convert/SimdAvx2Integer.h"

namespace tw::convert {

namespace {

using namespace avx2;
constexpr Direction to = Direction::toDevice;
constexpr Direction from = Direction::fromDevice;

// Same-format mono pairs are absent: the caller copies them with memcpy.
// 32-bit hosts to and from 32-bit devices are only interleaved.
constexpr SimdKernel kAvx2[] = {
    // host        width channels direction kernel
    {TW_TYPE_U8, 1, 2, to, interleaveBytes},
    {TW_TYPE_U8, 1, 2, from, deinterleaveBytes},
    {TW_TYPE_U8, 2, 1, to, fromStart<narrowToDevice<uint8_t, 2, 1>>},
    {TW_TYPE_U8, 2, 2, to, fromStart<narrowToDevice<uint8_t, 2, 2>>},
    {TW_TYPE_U8, 2, 1, from, topBytesToHost<uint8_t, 2, 1>},
    {TW_TYPE_U8, 2, 2, from, topBytesToHost<uint8_t, 2, 2>},
    {TW_TYPE_U8, 3, 1, to, narrowTo24<uint8_t, 1>},
    {TW_TYPE_U8, 3, 2, to, narrowTo24<uint8_t, 2>},
    {TW_TYPE_U8, 3, 1, from, topBytesToHost<uint8_t, 3, 1>},
    {TW_TYPE_U8, 3, 2, from, topBytesToHost<uint8_t, 3, 2>},
    {TW_TYPE_U8, 4, 1, to, narrowTo32<uint8_t, 1>},
    {TW_TYPE_U8, 4, 2, to, narrowTo32<uint8_t, 2>},
    {TW_TYPE_U8, 4, 1, from, topBytesToHost<uint8_t, 4, 1>},
    {TW_TYPE_U8, 4, 2, from, topBytesToHost<uint8_t, 4, 2>},

    {TW_TYPE_I16, 1, 1, to, fromStart<narrowToDevice<int16_t, 1, 1>>},
    {TW_TYPE_I16, 1, 2, to, wordsToBytesStereo},
    {TW_TYPE_I16, 1, 1, from, bytesToWordsHost<1>},
    {TW_TYPE_I16, 1, 2, from, bytesToWordsHost<2>},
    {TW_TYPE_I16, 2, 2, to, fromStart<narrowToDevice<int16_t, 2, 2>>},
    {TW_TYPE_I16, 2, 2, from, fromStart<narrowFromDevice<int16_t, 2, 2>>},
    {TW_TYPE_I16, 3, 1, to, narrowTo24<int16_t, 1>},
    {TW_TYPE_I16, 3, 2, to, narrowTo24<int16_t, 2>},
    {TW_TYPE_I16, 3, 1, from, topBytesToHost<int16_t, 3, 1>},
    {TW_TYPE_I16, 3, 2, from, topBytesToHost<int16_t, 3, 2>},
    {TW_TYPE_I16, 4, 1, to, narrowTo32<int16_t, 1>},
    {TW_TYPE_I16, 4, 2, to, narrowTo32<int16_t, 2>},
    {TW_TYPE_I16, 4, 1, from, topBytesToHost<int16_t, 4, 1>},
    {TW_TYPE_I16, 4, 2, from, topBytesToHost<int16_t, 4, 2>},

    {TW_TYPE_I32, 1, 1, to, integersToDevice<int32_t, 1, 1>},
    {TW_TYPE_I32, 1, 2, to, integersToDevice<int32_t, 1, 2>},
    {TW_TYPE_I32, 1, 1, from, deviceToIntegers<int32_t, 1, 1>},
    {TW_TYPE_I32, 1, 2, from, deviceToIntegers<int32_t, 1, 2>},
    {TW_TYPE_I32, 2, 1, to, integersToDevice<int32_t, 2, 1>},
    {TW_TYPE_I32, 2, 2, to, integersToDevice<int32_t, 2, 2>},
    {TW_TYPE_I32, 2, 1, from, deviceToIntegers<int32_t, 2, 1>},
    {TW_TYPE_I32, 2, 2, from, deviceToIntegers<int32_t, 2, 2>},
    {TW_TYPE_I32, 3, 1, to, integersToDevice<int32_t, 3, 1>},
    {TW_TYPE_I32, 3, 2, to, integersToDevice<int32_t, 3, 2>},
    {TW_TYPE_I32, 3, 1, from, deviceToIntegers<int32_t, 3, 1>},
    {TW_TYPE_I32, 3, 2, from, deviceToIntegers<int32_t, 3, 2>},
    {TW_TYPE_I32, 4, 2, to, integersToDevice<int32_t, 4, 2>},
    {TW_TYPE_I32, 4, 2, from, deviceToIntegers<int32_t, 4, 2>},

    {TW_TYPE_F32, 1, 1, to, singlesToDevice<1, 1>},
    {TW_TYPE_F32, 1, 2, to, singlesToDevice<1, 2>},
    {TW_TYPE_F32, 1, 1, from, bytesToSingles<1>},
    {TW_TYPE_F32, 1, 2, from, bytesToSingles<2>},
    {TW_TYPE_F32, 2, 1, to, singlesToDevice<2, 1>},
    {TW_TYPE_F32, 2, 2, to, singlesToDevice<2, 2>},
    {TW_TYPE_F32, 2, 1, from, deviceToFloats<float, 2, 1>},
    {TW_TYPE_F32, 2, 2, from, deviceToFloats<float, 2, 2>},
    {TW_TYPE_F32, 3, 1, to, singlesToDevice<3, 1>},
    {TW_TYPE_F32, 3, 2, to, singlesToDevice<3, 2>},
    {TW_TYPE_F32, 3, 1, from, deviceToFloats<float, 3, 1>},
    {TW_TYPE_F32, 3, 2, from, deviceToFloats<float, 3, 2>},
    {TW_TYPE_F32, 4, 1, to, singlesToDevice<4, 1>},
    {TW_TYPE_F32, 4, 2, to, singlesToDevice<4, 2>},
    {TW_TYPE_F32, 4, 1, from, deviceToFloats<float, 4, 1>},
    {TW_TYPE_F32, 4, 2, from, deviceToFloats<float, 4, 2>},

    {TW_TYPE_F64, 1, 1, to, doublesToDevice<1, 1>},
    {TW_TYPE_F64, 1, 2, to, doublesToDevice<1, 2>},
    {TW_TYPE_F64, 1, 1, from, deviceToFloats<double, 1, 1>},
    {TW_TYPE_F64, 1, 2, from, deviceToFloats<double, 1, 2>},
    {TW_TYPE_F64, 2, 1, to, doublesToDevice<2, 1>},
    {TW_TYPE_F64, 2, 2, to, doublesToDevice<2, 2>},
    {TW_TYPE_F64, 2, 1, from, deviceToFloats<double, 2, 1>},
    {TW_TYPE_F64, 2, 2, from, deviceToFloats<double, 2, 2>},
    {TW_TYPE_F64, 3, 1, to, doublesToDevice<3, 1>},
    {TW_TYPE_F64, 3, 2, to, doublesToDevice<3, 2>},
    {TW_TYPE_F64, 3, 1, from, deviceToFloats<double, 3, 1>},
    {TW_TYPE_F64, 3, 2, from, deviceToFloats<double, 3, 2>},
    {TW_TYPE_F64, 4, 1, to, doublesToDevice<4, 1>},
    {TW_TYPE_F64, 4, 2, to, doublesToDevice<4, 2>},
    {TW_TYPE_F64, 4, 1, from, deviceToFloats<double, 4, 1>},
    {TW_TYPE_F64, 4, 2, from, deviceToFloats<double, 4, 2>},
};

}  // namespace

std::span<const SimdKernel> avx2Kernels() { return kAvx2; }

}  // namespace tw::convert

#else

namespace tw::convert {
std::span<const SimdKernel> avx2Kernels() { return {}; }
}  // namespace tw::convert

#endif
