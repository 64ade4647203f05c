// Vector kernels for mono and stereo frames, used when the processor has
// them. They give the same bits as the portable loops of SampleKernels.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tw::convert {

// Converts `frames` frames between the host rows (one per channel, already at
// the first column) and interleaved device bytes. Returns nonzero when a float
// sample was clipped.
using SimdConverter = int (*)(uint8_t* const* rows, uint8_t* device, size_t frames);

// The kernel for this pair and 1 or 2 channels, or null when there is none
// (or the processor lacks the instructions).
SimdConverter findSimdConverter(uint16_t typeCode, uint32_t width, uint32_t channels, bool toDevice);

// Instruction sets, in order. The best one the processor has is used, up to
// the limit, which lets the tests hold every path against the reference.
enum class SimdLevel { portable, avx2, avx512 };
SimdLevel availableSimdLevel();
void limitSimdLevel(SimdLevel limit);

// The kernels of each instruction set; null for pairs a set does not cover.
SimdConverter findAvx2Converter(uint16_t typeCode, uint32_t width, uint32_t channels, bool toDevice);
SimdConverter findAvx512Converter(uint16_t typeCode, uint32_t width, uint32_t channels, bool toDevice);

}  // namespace tw::convert
