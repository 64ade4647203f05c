// WAV file throughput: a 200 MB 16-bit stereo file read into host arrays of
// i16, f32 and f64 (in 1 s blocks and in one call) and written from them,
// against libsndfile doing the same (interleaved frames plus the
// de-interleave or interleave a host array needs) and against memcpy of the
// same bytes. Every destination is touched before it is timed. Throughput
// counts the file's sample bytes. Run with --benchmark_repetitions=5 (the
// default here) and read the medians.
//
// Needs TONEWELL_LIB_DIR (defaults to ../lib beside this program).
// libsndfile is loaded at run time; its rows are skipped when it is missing.
#include <dlfcn.h>
#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <benchmark/benchmark.h>

#include "BuiltLibrary.h"
#include "host/Library.h"
#include "host/TestHost.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int32_t kChannels = 2;
constexpr int32_t kRate = 44100;
constexpr int32_t kBlockFrames = kRate;
// About 200 MB of samples, in whole blocks.
constexpr int32_t kFrames = 1134 * kBlockFrames;
constexpr size_t kFileDataBytes = size_t{kFrames} * kChannels * 2;

std::string scratchPath(const char* name) {
    const char* dir = std::getenv("TONEWELL_BENCH_TMP");
    if (!dir || !*dir) dir = std::getenv("TMPDIR");
    if (!dir || !*dir) dir = "/tmp";
    return std::string(dir) + "/" + name + "_" + std::to_string(::getpid()) + ".wav";
}

const testhost::Exports& api() {
    static bool ready = [] {
        benchstats::useBuiltLibrary();
        // Resizes to the same size stay in place, as a host's do.
        testhost::setAlwaysMove(false);
        return testhost::library().loaded();
    }();
    if (!ready) std::abort();
    return testhost::library().api();
}

// ---- libsndfile, bound at run time ----
struct SndFile {
    decltype(&sf_open) open = nullptr;
    decltype(&sf_close) close = nullptr;
    decltype(&sf_seek) seek = nullptr;
    decltype(&sf_readf_short) readShort = nullptr;
    decltype(&sf_readf_float) readFloat = nullptr;
    decltype(&sf_readf_double) readDouble = nullptr;
    decltype(&sf_writef_short) writeShort = nullptr;
    decltype(&sf_writef_float) writeFloat = nullptr;
    decltype(&sf_writef_double) writeDouble = nullptr;
    bool ok = false;
};

const SndFile& sndfile() {
    static SndFile s = [] {
        SndFile f;
        void* lib = ::dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
        if (!lib) return f;
#define BIND(field, name) f.field = reinterpret_cast<decltype(f.field)>(::dlsym(lib, #name))
        BIND(open, sf_open);
        BIND(close, sf_close);
        BIND(seek, sf_seek);
        BIND(readShort, sf_readf_short);
        BIND(readFloat, sf_readf_float);
        BIND(readDouble, sf_readf_double);
        BIND(writeShort, sf_writef_short);
        BIND(writeFloat, sf_writef_float);
        BIND(writeDouble, sf_writef_double);
#undef BIND
        f.ok = f.open && f.close && f.seek && f.readShort && f.readFloat && f.readDouble && f.writeShort &&
               f.writeFloat && f.writeDouble;
        return f;
    }();
    return s;
}

// ---- Data ----
size_t elementSize(uint16_t type) { return type == TW_TYPE_I16 ? 2 : type == TW_TYPE_F32 ? 4 : 8; }

// A host array of `frames` columns, every byte touched.
testhost::ArrayPtr touchedArray(uint16_t type, int32_t frames) {
    auto a = testhost::makeArray2D(type, kChannels, frames);
    std::memset(testhost::elements2D<uint8_t>(a.get()), 1, size_t{kChannels} * frames * elementSize(type));
    return a;
}

template <typename T>
T sampleValue(int32_t ch, int32_t frame) {
    const double x = std::sin(0.01 * frame + ch) * 0.8;
    if constexpr (std::is_same_v<T, int16_t>) return static_cast<int16_t>(x * 32767);
    else return static_cast<T>(x);
}

template <typename T>
testhost::ArrayPtr sourceArray(uint16_t type, int32_t frames) {
    auto a = testhost::makeArray2D(type, kChannels, frames);
    T* e = testhost::elements2D<T>(a.get());
    for (int32_t ch = 0; ch < kChannels; ++ch)
        for (int32_t f = 0; f < frames; ++f) e[static_cast<size_t>(ch) * frames + f] = sampleValue<T>(ch, f);
    return a;
}

// The file every read measures, written once.
const std::string& sourceFile() {
    static std::string path = [] {
        std::string p = scratchPath("file_bench_source");
        auto name = testhost::makeString(p);
        TaskRefnum r = -1;
        if (api().SoundWriteFileOpen(name.get(), &r, kRate, kChannels, 16) != 0) std::abort();
        auto block = sourceArray<int16_t>(TW_TYPE_I16, kBlockFrames);
        int32_t n = 0;
        for (int32_t done = 0; done < kFrames; done += kBlockFrames) api().SoundWriteFileData(r, block.get(), &n, TW_TYPE_I16);
        api().SoundFileClose(r);
        return p;
    }();
    return path;
}

void finish(benchmark::State& state, double seconds) {
    state.SetIterationTime(seconds);
}

int32_t framesPerCall(benchmark::State& state) { return state.range(1) ? kFrames : kBlockFrames; }

// ---- Reading ----
void BM_ReadTonewell(benchmark::State& state) {
    const auto type = static_cast<uint16_t>(state.range(0));
    const int32_t perCall = framesPerCall(state);
    auto name = testhost::makeString(sourceFile());
    TaskRefnum r = -1;
    if (api().SoundReadFileOpen(name.get(), &r) != 0) return state.SkipWithError("open failed");
    auto array = touchedArray(type, perCall);
    for (auto _ : state) {
        int32_t total = 0, n = 0;
        uint8_t eof = 0;
        const auto t0 = Clock::now();
        // The first call seeks to the start.
        for (int32_t mode = 0; !eof; mode = 2) {
            if (api().SoundReadFileData(r, mode, 0, perCall, type, 0, array.get(), &n, &eof) != 0) break;
            total += n;
        }
        finish(state, std::chrono::duration<double>(Clock::now() - t0).count());
        if (total != kFrames) return state.SkipWithError("short read");
    }
    api().SoundFileClose(r);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileDataBytes));
}

template <typename T>
void deinterleave(const T* frames, T* host, int32_t n, int32_t columns) {
    for (int32_t f = 0; f < n; ++f) {
        host[f] = frames[2 * f];
        host[columns + f] = frames[2 * f + 1];
    }
}

template <typename T>
sf_count_t sndRead(SNDFILE* file, T* to, sf_count_t frames) {
    if constexpr (std::is_same_v<T, int16_t>) return sndfile().readShort(file, to, frames);
    else if constexpr (std::is_same_v<T, float>) return sndfile().readFloat(file, to, frames);
    else return sndfile().readDouble(file, to, frames);
}

template <typename T>
void BM_ReadSndfile(benchmark::State& state) {
    if (!sndfile().ok) return state.SkipWithError("libsndfile not found");
    const auto type = static_cast<uint16_t>(state.range(0));
    const int32_t perCall = framesPerCall(state);
    SF_INFO info{};
    SNDFILE* file = sndfile().open(sourceFile().c_str(), SFM_READ, &info);
    if (!file) return state.SkipWithError("sf_open failed");
    std::vector<T> frames(static_cast<size_t>(perCall) * kChannels, T(1));
    auto array = touchedArray(type, perCall);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        sndfile().seek(file, 0, SEEK_SET);
        int64_t total = 0;
        for (;;) {
            const sf_count_t n = sndRead<T>(file, frames.data(), perCall);
            if (n <= 0) break;
            deinterleave(frames.data(), testhost::elements2D<T>(array.get()), static_cast<int32_t>(n), perCall);
            total += n;
        }
        finish(state, std::chrono::duration<double>(Clock::now() - t0).count());
        if (total != kFrames) return state.SkipWithError("short read");
    }
    sndfile().close(file);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileDataBytes));
}

void BM_Memcpy(benchmark::State& state) {
    const size_t perCall = size_t{static_cast<uint32_t>(framesPerCall(state))} * kChannels * 2;
    std::vector<uint8_t> from(kFileDataBytes, 3), to(perCall, 1);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        for (size_t done = 0; done < kFileDataBytes; done += perCall)
            std::memcpy(to.data(), from.data() + done, std::min(perCall, kFileDataBytes - done));
        benchmark::DoNotOptimize(to.data());
        finish(state, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileDataBytes));
}

// ---- Writing ----
template <typename T>
void BM_WriteTonewell(benchmark::State& state) {
    const auto type = static_cast<uint16_t>(state.range(0));
    const int32_t perCall = framesPerCall(state);
    auto array = sourceArray<T>(type, perCall);
    const std::string path = scratchPath("file_bench_out");
    auto name = testhost::makeString(path);
    for (auto _ : state) {
        const auto t0 = Clock::now();
        TaskRefnum r = -1;
        if (api().SoundWriteFileOpen(name.get(), &r, kRate, kChannels, 16) != 0) return state.SkipWithError("open");
        int32_t n = 0;
        for (int32_t done = 0; done < kFrames; done += perCall) api().SoundWriteFileData(r, array.get(), &n, type);
        api().SoundFileClose(r);
        finish(state, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    ::unlink(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileDataBytes));
}

template <typename T>
sf_count_t sndWrite(SNDFILE* file, const T* from, sf_count_t frames) {
    if constexpr (std::is_same_v<T, int16_t>) return sndfile().writeShort(file, from, frames);
    else if constexpr (std::is_same_v<T, float>) return sndfile().writeFloat(file, from, frames);
    else return sndfile().writeDouble(file, from, frames);
}

template <typename T>
void BM_WriteSndfile(benchmark::State& state) {
    if (!sndfile().ok) return state.SkipWithError("libsndfile not found");
    const auto type = static_cast<uint16_t>(state.range(0));
    const int32_t perCall = framesPerCall(state);
    auto array = sourceArray<T>(type, perCall);
    std::vector<T> frames(static_cast<size_t>(perCall) * kChannels, T(1));
    const std::string path = scratchPath("file_bench_sf");
    for (auto _ : state) {
        const auto t0 = Clock::now();
        SF_INFO info{};
        info.samplerate = kRate;
        info.channels = kChannels;
        info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
        SNDFILE* file = sndfile().open(path.c_str(), SFM_WRITE, &info);
        if (!file) return state.SkipWithError("sf_open failed");
        const T* host = testhost::elements2D<T>(array.get());
        for (int32_t done = 0; done < kFrames; done += perCall) {
            for (int32_t f = 0; f < perCall; ++f) {
                frames[2 * size_t(f)] = host[f];
                frames[2 * size_t(f) + 1] = host[perCall + f];
            }
            sndWrite<T>(file, frames.data(), perCall);
        }
        sndfile().close(file);
        finish(state, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    ::unlink(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileDataBytes));
}

// Arguments: host type code, one call (1) or 1 s blocks (0).
void typesAndModes(benchmark::internal::Benchmark* b) {
    b->ArgNames({"type", "onecall"});
    b->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5)->ReportAggregatesOnly(true);
}

void readArgs(benchmark::internal::Benchmark* b) {
    typesAndModes(b);
    for (int one : {0, 1})
        for (int t : {TW_TYPE_I16, TW_TYPE_F32, TW_TYPE_F64}) b->Args({t, one});
}

BENCHMARK(BM_ReadTonewell)->Apply(readArgs);
BENCHMARK(BM_ReadSndfile<int16_t>)->Apply(typesAndModes)->Args({TW_TYPE_I16, 0})->Args({TW_TYPE_I16, 1});
BENCHMARK(BM_ReadSndfile<float>)->Apply(typesAndModes)->Args({TW_TYPE_F32, 0})->Args({TW_TYPE_F32, 1});
BENCHMARK(BM_ReadSndfile<double>)->Apply(typesAndModes)->Args({TW_TYPE_F64, 0})->Args({TW_TYPE_F64, 1});
BENCHMARK(BM_Memcpy)->Apply(typesAndModes)->Args({0, 0})->Args({0, 1});
BENCHMARK(BM_WriteTonewell<int16_t>)->Apply(typesAndModes)->Args({TW_TYPE_I16, 0})->Args({TW_TYPE_I16, 1});
BENCHMARK(BM_WriteTonewell<float>)->Apply(typesAndModes)->Args({TW_TYPE_F32, 0})->Args({TW_TYPE_F32, 1});
BENCHMARK(BM_WriteTonewell<double>)->Apply(typesAndModes)->Args({TW_TYPE_F64, 0})->Args({TW_TYPE_F64, 1});
BENCHMARK(BM_WriteSndfile<int16_t>)->Apply(typesAndModes)->Args({TW_TYPE_I16, 0})->Args({TW_TYPE_I16, 1});
BENCHMARK(BM_WriteSndfile<float>)->Apply(typesAndModes)->Args({TW_TYPE_F32, 0})->Args({TW_TYPE_F32, 1});
BENCHMARK(BM_WriteSndfile<double>)->Apply(typesAndModes)->Args({TW_TYPE_F64, 0})->Args({TW_TYPE_F64, 1});

}  // namespace

BENCHMARK_MAIN();
