// Picks the widest kernel the processor runs, from the tables of the
// instruction sets.
#include <algorithm>
#include <array>
#include <atomic>

#include "convert/SampleTypes.h"
#include "convert/SimdKernels.h"

namespace tw::convert {

namespace {

SimdLevel detect() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("fma"))
        return SimdLevel::avx512;
    // The AVX2 float kernels need fused multiply-add, which every AVX2
    // processor made has.
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma")) return SimdLevel::avx2;
#endif
    return SimdLevel::portable;
}

std::atomic<SimdLevel> gLimit{SimdLevel::avx512};

// A table turned into direct lookup: one slot per host type, width, channel
// count and direction.
class KernelIndex {
public:
    explicit KernelIndex(std::span<const SimdKernel> table) {
        for (const SimdKernel& k : table) {
            const int at = slot(k.typeCode, k.width, k.channels, k.direction);
            if (at >= 0) slots_[static_cast<size_t>(at)] = k.convert;
        }
    }
    SimdConverter find(uint16_t typeCode, uint32_t width, uint32_t channels, Direction direction) const {
        const int at = slot(typeCode, width, channels, direction);
        return at < 0 ? nullptr : slots_[static_cast<size_t>(at)];
    }

private:
    static int slot(uint16_t typeCode, uint32_t width, uint32_t channels, Direction direction) {
        const int type = withSampleType(typeCode, -1, [](auto h) { return sampleTypeIndex<decltype(h)>(); });
        if (type < 0 || width < 1 || width > 4 || channels < 1 || channels > 2) return -1;
        return ((type * 4 + static_cast<int>(width - 1)) * 2 + static_cast<int>(channels - 1)) * 2 +
               (direction == Direction::toDevice ? 0 : 1);
    }
    std::array<SimdConverter, 5 * 4 * 2 * 2> slots_{};
};

const KernelIndex& avx2Index() {
    static const KernelIndex index(avx2Kernels());
    return index;
}

const KernelIndex& avx512Index() {
    static const KernelIndex index(avx512Kernels());
    return index;
}

}  // namespace

SimdLevel availableSimdLevel() {
    static const SimdLevel level = detect();
    return level;
}

void limitSimdLevel(SimdLevel limit) { gLimit.store(limit, std::memory_order_relaxed); }

SimdConverter findAvx2Converter(uint16_t typeCode, uint32_t width, uint32_t channels, Direction direction) {
    return avx2Index().find(typeCode, width, channels, direction);
}

SimdConverter findSimdConverter(uint16_t typeCode, uint32_t width, uint32_t channels, Direction direction) {
    const SimdLevel level = std::min(availableSimdLevel(), gLimit.load(std::memory_order_relaxed));
    if (level >= SimdLevel::avx512)
        if (const SimdConverter kernel = avx512Index().find(typeCode, width, channels, direction)) return kernel;
    if (level >= SimdLevel::avx2) return findAvx2Converter(typeCode, width, channels, direction);
    return nullptr;
}

}  // namespace tw::convert
