// Picks the widest kernel the processor runs.
#include <algorithm>
#include <atomic>

#include "convert/SimdKernels.h"

namespace tw::convert {

namespace {

SimdLevel detect() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512vbmi"))
        return SimdLevel::avx512;
    if (__builtin_cpu_supports("avx2")) return SimdLevel::avx2;
#endif
    return SimdLevel::portable;
}

std::atomic<SimdLevel> gLimit{SimdLevel::avx512};

}  // namespace

SimdLevel availableSimdLevel() {
    static const SimdLevel level = detect();
    return level;
}

void limitSimdLevel(SimdLevel limit) { gLimit.store(limit, std::memory_order_relaxed); }

SimdConverter findSimdConverter(uint16_t typeCode, uint32_t width, uint32_t channels, bool toDevice) {
    const SimdLevel level = std::min(availableSimdLevel(), gLimit.load(std::memory_order_relaxed));
    if (level >= SimdLevel::avx512)
        if (const SimdConverter kernel = findAvx512Converter(typeCode, width, channels, toDevice)) return kernel;
    if (level >= SimdLevel::avx2) return findAvx2Converter(typeCode, width, channels, toDevice);
    return nullptr;
}

}  // namespace tw::convert
