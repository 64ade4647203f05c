// Throughput of the RIFF file layer against plain read()/write() of the same
// bytes, measured side by side in each iteration. Counters: MiB/s of both and
// ratio = layer time / plain time (1.0 is parity, lower is better).
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "file/RiffFile.h"

namespace {

using tw::RiffFile;
using Clock = std::chrono::steady_clock;

constexpr size_t kDataBytes = 64u * 1024 * 1024;
constexpr tw::FourCC kWave = tw::makeFourCC('W', 'A', 'V', 'E');
constexpr tw::FourCC kData = tw::makeFourCC('d', 'a', 't', 'a');

std::string scratchPath(const char* name) {
    const char* dir = std::getenv("TONEWELL_BENCH_TMP");
    if (!dir || !*dir) dir = std::getenv("TMPDIR");
    if (!dir || !*dir) dir = "/tmp";
    return std::string(dir) + "/" + name + "_" + std::to_string(getpid()) + ".wav";
}

const std::vector<char>& samples() {
    static const std::vector<char> bytes = [] {
        std::vector<char> v(kDataBytes);
        for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<char>(i * 2654435761u >> 13);
        return v;
    }();
    return bytes;
}

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// The header a wave file starts with, in a RIFF form of 64 MiB of data.
void plainHeader(char* out) {
    const uint32_t riffSize = static_cast<uint32_t>(kDataBytes + 12);
    const uint32_t dataSize = static_cast<uint32_t>(kDataBytes);
    std::memcpy(out, "RIFF", 4);
    std::memcpy(out + 4, &riffSize, 4);
    std::memcpy(out + 8, "WAVE", 4);
    std::memcpy(out + 12, "data", 4);
    std::memcpy(out + 16, &dataSize, 4);
}

double plainWrite(const std::string& path) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    char header[20];
    plainHeader(header);
    bool ok = ::write(fd, header, 20) == 20;
    for (size_t done = 0; ok && done < kDataBytes;) {
        const ssize_t n = ::write(fd, samples().data() + done, kDataBytes - done);
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    ::close(fd);
    return ok ? seconds(start) : -1;
}

double plainRead(const std::string& path, std::vector<char>& into) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    char header[20];
    bool ok = ::read(fd, header, 20) == 20;
    for (size_t done = 0; ok && done < kDataBytes;) {
        const ssize_t n = ::read(fd, into.data() + done, kDataBytes - done);
        ok = n > 0;
        done += ok ? static_cast<size_t>(n) : 0;
    }
    ::close(fd);
    return ok ? seconds(start) : -1;
}

// Writes the data chunk either with one write() or through the I/O buffer.
double layerWrite(const std::string& path, bool direct) {
    const auto start = Clock::now();
    RiffFile f;
    if (f.open(path.c_str(), RiffFile::Mode::createReadWrite) != 0) return -1;
    tw::RiffChunkInfo riff;
    riff.fccType = kWave;
    tw::RiffChunkInfo data;
    data.ckid = kData;
    bool ok = f.createChunk(riff, tw::kRiffCreateRiff) == tw::RiffResult::ok &&
              f.createChunk(data, 0) == tw::RiffResult::ok;
    if (!direct) {
        ok = ok && f.write(samples().data(), kDataBytes) == static_cast<int64_t>(kDataBytes);
    } else {
        tw::RiffBufferInfo info;
        ok = ok && f.getInfo(info) == tw::RiffResult::ok;
        for (size_t done = 0; ok && done < kDataBytes;) {
            if (info.pchNext == info.pchEndWrite) {
                info.dwFlags |= tw::kRiffDirty;
                ok = f.advance(info, tw::RiffAdvance::write) == tw::RiffResult::ok;
            }
            const size_t n = std::min<size_t>(kDataBytes - done, static_cast<size_t>(info.pchEndWrite - info.pchNext));
            std::memcpy(info.pchNext, samples().data() + done, n);
            info.pchNext += n;
            done += n;
        }
        info.dwFlags |= tw::kRiffDirty;
        ok = ok && f.setInfo(info) == tw::RiffResult::ok;
    }
    ok = ok && f.ascend(data) == tw::RiffResult::ok && f.ascend(riff) == tw::RiffResult::ok;
    ok = f.close() == tw::RiffResult::ok && ok;
    return ok ? seconds(start) : -1;
}

double layerRead(const std::string& path, std::vector<char>& into, bool direct) {
    const auto start = Clock::now();
    RiffFile f;
    if (f.open(path.c_str(), RiffFile::Mode::read) != 0) return -1;
    tw::RiffChunkInfo riff;
    tw::RiffChunkInfo data;
    data.ckid = kData;
    bool ok = f.descend(riff, nullptr, 0) == tw::RiffResult::ok &&
              f.descend(data, &riff, tw::kRiffFindChunk) == tw::RiffResult::ok && data.cksize == kDataBytes;
    if (!direct) {
        ok = ok && f.read(into.data(), kDataBytes) == static_cast<int64_t>(kDataBytes);
    } else {
        tw::RiffBufferInfo info;
        ok = ok && f.getInfo(info) == tw::RiffResult::ok;
        for (size_t done = 0; ok && done < kDataBytes;) {
            if (info.pchNext == info.pchEndRead) {
                ok = f.advance(info, tw::RiffAdvance::read) == tw::RiffResult::ok && info.pchNext != info.pchEndRead;
                if (!ok) break;
            }
            const size_t n = std::min<size_t>(kDataBytes - done, static_cast<size_t>(info.pchEndRead - info.pchNext));
            std::memcpy(into.data() + done, info.pchNext, n);
            info.pchNext += n;
            done += n;
        }
        ok = ok && f.setInfo(info) == tw::RiffResult::ok;
    }
    f.close();
    return ok ? seconds(start) : -1;
}

void report(benchmark::State& state, double layer, double plain) {
    const double mib = static_cast<double>(kDataBytes) / (1024.0 * 1024.0) * static_cast<double>(state.iterations());
    state.counters["layer_MiBps"] = mib / layer;
    state.counters["plain_MiBps"] = mib / plain;
    state.counters["ratio"] = layer / plain;
    state.SetBytesProcessed(static_cast<int64_t>(kDataBytes) * state.iterations());
}

void writeBench(benchmark::State& state, bool direct) {
    const std::string path = scratchPath("riff_bench_write");
    samples();
    double layer = 0, plain = 0;
    for (auto _ : state) {
        const double p = plainWrite(path);
        const double l = layerWrite(path, direct);
        if (p < 0 || l < 0) {
            state.SkipWithError("write failed");
            break;
        }
        plain += p;
        layer += l;
        state.SetIterationTime(l);
    }
    ::unlink(path.c_str());
    if (layer > 0 && plain > 0) report(state, layer, plain);
}

void readBench(benchmark::State& state, bool direct) {
    const std::string path = scratchPath("riff_bench_read");
    std::vector<char> into(kDataBytes);
    if (layerWrite(path, false) < 0) {
        state.SkipWithError("cannot make the input file");
        return;
    }
    double layer = 0, plain = 0;
    for (auto _ : state) {
        const double p = plainRead(path, into);
        const double l = layerRead(path, into, direct);
        if (p < 0 || l < 0 || std::memcmp(into.data(), samples().data(), kDataBytes) != 0) {
            state.SkipWithError("read failed");
            break;
        }
        plain += p;
        layer += l;
        state.SetIterationTime(l);
    }
    ::unlink(path.c_str());
    if (layer > 0 && plain > 0) report(state, layer, plain);
}

void BM_RiffWriteBulk(benchmark::State& state) { writeBench(state, false); }
void BM_RiffWriteThroughBuffer(benchmark::State& state) { writeBench(state, true); }
void BM_RiffReadBulk(benchmark::State& state) { readBench(state, false); }
void BM_RiffReadThroughBuffer(benchmark::State& state) { readBench(state, true); }

BENCHMARK(BM_RiffWriteBulk)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_RiffWriteThroughBuffer)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_RiffReadBulk)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_RiffReadThroughBuffer)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(1.0);

}  // namespace

BENCHMARK_MAIN();
