// Throughput of the sample converters against memcpy of the same bytes (the
// larger of the host array and the device bytes), for every host type, device
// width and direction on stereo data, in cache (64 KiB) and in memory (64 MiB).
// Counters: bytes_per_second, and vs_memcpy = conversion rate / memcpy rate,
// from alternating rounds of both in the same benchmark.
//
// memcpy copies between the same two buffers the conversion reads and
// writes. The device bytes start on a cache line (a sound buffer's ring), the
// host elements 8 bytes past one (behind a host array's dimensions), half a
// page further on. Buffers that lie within about 64 bytes of each other
// modulo 4 KiB make the processor hold loads of one behind stores to the
// other (4K aliasing): pairs whose two sides advance at the same rate then
// lose up to half of their speed. Random placement does that about one time
// in thirty; heap blocks allocated one after the other do it more often.
//
// TONEWELL_BENCH_SIMD=portable|avx2|avx512 caps the instruction set the
// converters use (default: the widest the processor has), so the narrower
// kernels can be measured on a machine that has wider ones.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "convert/SampleConverter.h"
#include "convert/SampleTypes.h"
#include "convert/SimdKernels.h"
#include "tonewell/tonewell.h"

namespace {

constexpr uint32_t kChannels = 2;
constexpr size_t kSizes[] = {64u << 10, 64u << 20};

size_t hostSize(uint16_t type) {
    return type == TW_TYPE_U8 ? 1 : type == TW_TYPE_I16 ? 2 : type == TW_TYPE_F64 ? 8 : 4;
}

double threadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// CPU seconds per call of `op`: the best of rounds of at least 10 ms each.
// Reading the clock costs about as much as a small copy: read it per batch.
template <class Op>
double secondsPerCall(Op op, size_t bytes) {
    const int batch = static_cast<int>(std::max<size_t>(1, (4u << 20) / bytes));
    int calls = 0;
    const double start = threadSeconds();
    double spent = 0;
    do {
        for (int k = 0; k < batch; ++k) op();
        calls += batch;
        spent = threadSeconds() - start;
    } while (spent < 0.01);
    return spent / calls;
}

void BM_Memcpy(benchmark::State& state, size_t bytes) {
    std::vector<uint8_t> from(bytes, 1), to(bytes, 2);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

// `bytes` bytes at `offset` past a page boundary, with room for `capacity`.
class Placed {
public:
    Placed(size_t bytes, size_t capacity, size_t offset)
        : store_(new uint8_t[capacity + offset + 4096]()), size_(bytes) {
        const auto at = reinterpret_cast<uintptr_t>(store_.get());
        data_ = store_.get() + (4096 - at % 4096) % 4096 + offset;
    }
    uint8_t* data() { return data_; }
    size_t size() const { return size_; }
    uint8_t& operator[](size_t i) { return data_[i]; }

private:
    std::unique_ptr<uint8_t[]> store_;
    uint8_t* data_;
    size_t size_;
};

constexpr size_t kHostOffset = 2048 + 8;

void BM_Convert(benchmark::State& state, uint16_t type, uint32_t width, bool toDevice, size_t bytes) {
    const size_t frames = bytes / (kChannels * std::max(hostSize(type), size_t{width}));

    // Both hold the larger side, so memcpy can copy it between the same two.
    const size_t compared = frames * kChannels * std::max(hostSize(type), size_t{width});
    Placed host(frames * kChannels * hostSize(type), compared, kHostOffset);
    Placed device(frames * kChannels * width, compared, 0);
    // Host data a program would send: in range, so no clipping.
    for (size_t i = 0; i < frames * kChannels; ++i) {
        const double x = std::sin(static_cast<double>(i) * 0.01);
        uint8_t* p = host.data() + i * hostSize(type);
        if (type == TW_TYPE_F64) std::memcpy(p, &x, 8);
        else if (type == TW_TYPE_F32) { const auto f = static_cast<float>(x); std::memcpy(p, &f, 4); }
        else { const auto v = static_cast<uint32_t>(x * 2e9); std::memcpy(p, &v, hostSize(type)); }
    }
    for (size_t i = 0; i < device.size(); ++i) device[i] = static_cast<uint8_t>(i * 7);

    tw::ConversionJob job;
    job.bytesPerSample = width;
    job.channels = kChannels;
    job.device = device.data();
    job.deviceBytes = device.size();
    job.typeCode = type;
    job.rows = kChannels;
    job.columns = static_cast<uint32_t>(frames);
    job.hostElements = host.data();
    job.frames = static_cast<uint32_t>(frames);
    job.direction = toDevice ? tw::ConvertDirection::HostToDevice : tw::ConvertDirection::DeviceToHost;

    // The ratio to memcpy comes from rounds that alternate the two, each side
    // keeping its best: both see the same machine, and passing load on a
    // shared machine drops out.
    const uint8_t* from = toDevice ? host.data() : device.data();
    uint8_t* to = toDevice ? device.data() : host.data();
    double convertTime = 1e9, copyTime = 1e9;
    for (int round = 0; round < 7; ++round) {
        convertTime = std::min(convertTime, secondsPerCall([&] {
            benchmark::DoNotOptimize(tw::convertBlock(job));
            benchmark::ClobberMemory();
        }, compared));
        copyTime = std::min(copyTime, secondsPerCall([&] {
            std::memcpy(to, from, compared);
            benchmark::ClobberMemory();
        }, compared));
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(tw::convertBlock(job));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * compared));
    state.counters["vs_memcpy"] = copyTime / convertTime;
}

const char* levelName(tw::convert::SimdLevel level) {
    switch (level) {
        case tw::convert::SimdLevel::portable: return "portable";
        case tw::convert::SimdLevel::avx2: return "avx2";
        default: return "avx512";
    }
}

// Applies TONEWELL_BENCH_SIMD and names the level in the benchmark context.
void chooseSimdLevel() {
    using tw::convert::SimdLevel;
    SimdLevel level = tw::convert::availableSimdLevel();
    if (const char* asked = std::getenv("TONEWELL_BENCH_SIMD")) {
        const std::string name = asked;
        if (name == "portable" || name == "avx2" || name == "avx512")
            level = std::min(level, name == "portable" ? SimdLevel::portable
                                    : name == "avx2"   ? SimdLevel::avx2
                                                       : SimdLevel::avx512);
        else
            std::fprintf(stderr, "TONEWELL_BENCH_SIMD=%s is none of portable, avx2, avx512: ignored\n", asked);
    }
    tw::convert::limitSimdLevel(level);
    benchmark::AddCustomContext("simd_level", levelName(level));
}

int registerAll() {
    chooseSimdLevel();
    for (size_t bytes : kSizes) {
        const std::string size = bytes < (1u << 20) ? "64KiB" : "64MiB";
        benchmark::RegisterBenchmark(("memcpy/" + size).c_str(), BM_Memcpy, bytes);
        for (uint16_t type : tw::convert::kSampleTypeCodes)
            for (int width = 1; width <= 4; ++width)
                for (int toDevice : {1, 0}) {
                    const std::string name = std::string(tw::convert::sampleTypeName(type)) +
                                             (toDevice ? "->w" : "<-w") + std::to_string(width) + "/" + size;
                    benchmark::RegisterBenchmark(name.c_str(), BM_Convert, type,
                                                 static_cast<uint32_t>(width), toDevice != 0, bytes);
                }
    }
    return 0;
}

const int registered = registerAll();

}  // namespace

BENCHMARK_MAIN();
