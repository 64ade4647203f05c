// Vector kernels for mono and stereo frames, used when the processor has
// them. They give the same bits as the portable loops of SampleKernels.h.
//
// Each instruction set lists what it covers in one table of `SimdKernel`
// rows; the dispatcher reads only those. Adding a kernel is one function and
// one row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace tw::convert {

// Converts `frames` frames between the host rows (one per channel, already at
// the first column) and interleaved device bytes. Returns nonzero when a float
// sample was clipped.
using SimdConverter = int (*)(uint8_t* const* rows, uint8_t* device, size_t frames);

enum class Direction : uint8_t { toDevice, fromDevice };

// One row of a table: the pair and channel count a kernel converts.
struct SimdKernel {
    uint16_t typeCode;  // host element type
    uint8_t width;      // device bytes per sample, 1..4
    uint8_t channels;   // 1 or 2
    Direction direction;
    SimdConverter convert;
};

// Instruction sets, in order. The best one the processor has is used, up to
// the limit, which lets the tests hold every path against the reference.
enum class SimdLevel { portable, avx2, avx512 };
SimdLevel availableSimdLevel();
void limitSimdLevel(SimdLevel limit);

// The kernel for this pair and 1 or 2 channels at the current level, or null
// when there is none (the portable loops then do the job).
SimdConverter findSimdConverter(uint16_t typeCode, uint32_t width, uint32_t channels, Direction direction);

// The tables (empty where the compiler cannot build the set), and the AVX2
// kernel of a pair whatever the level: the AVX-512 kernels hand it the frames
// after their last whole step, so each of their rows needs an AVX2 row.
std::span<const SimdKernel> avx2Kernels();
std::span<const SimdKernel> avx512Kernels();
SimdConverter findAvx2Converter(uint16_t typeCode, uint32_t width, uint32_t channels, Direction direction);

}  // namespace tw::convert
