// Continuous output through the exports on the virtual driver at speed 1:
// 48 kHz, stereo, 16 bit, a ring of 200 ms, blocks of 50 ms written as int16.
//
// streamCost, one stream of 4 s:
//   worker_cpu_pct: CPU time of the task's worker thread ("tw-output") per
//     second of audio, in percent of one core.
//   write_cpu_pct: CPU time of the host thread inside SOWrite (the library
//     converts there what fits at once) per second of audio.
//   library_cpu_pct: the sum of both. Goal: under 1.
//   driver_cpu_pct: every other thread of the process (the virtual driver's
//     clock thread, the simulated hardware), reported apart.
//   switches_per_cycle: voluntary context switches of the worker per ring
//     cycle: its wake-ups, one per quarter (4), plus the short waits for a
//     lock its waker still holds, which /proc cannot tell apart.
// workerIdle: idle_switches_per_s of the worker of a task that plays
//   nothing. Goal: 0 (it sleeps on its events; no polling).
// streams/N, N streams of 2 s at once, each fed by its own host thread:
//   gapless: streams whose tap holds the whole ramp, in order, with no
//     silence inside. Goal: all of them with 64 streams.
// Needs TONEWELL_LIB_DIR (the built lib/ directory); selects the virtual driver.
#include <dirent.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "host/Library.h"
#include "host/TestHost.h"
#include "host/VirtualDriver.h"

namespace {

using testhost::library;
using testhost::virtualDriver;

constexpr double kRate = 48000.0;
constexpr int32_t kRingFrames = 9600;
constexpr int32_t kBlockFrames = 2400;
constexpr uint32_t kIdSpan = 30000;

int64_t nowNs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

struct ThreadStats {
    int64_t cpuNs = 0;
    int64_t wakeups = 0;
};

// CPU time and voluntary switches so far of the threads named "tw-output".
ThreadStats workerStats() {
    ThreadStats stats;
    DIR* dir = opendir("/proc/self/task");
    if (!dir) return stats;
    while (dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '.') continue;
        const std::string base = std::string("/proc/self/task/") + entry->d_name;
        std::string comm;
        std::getline(std::ifstream(base + "/comm"), comm);
        if (comm != "tw-output") continue;
        int64_t ns = 0;
        if (std::ifstream(base + "/schedstat") >> ns) stats.cpuNs += ns;
        std::ifstream status(base + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0) stats.wakeups += std::atoll(line.c_str() + 24);
    }
    closedir(dir);
    return stats;
}

struct Stream {
    TaskRefnum refnum = -1;
    uint32_t tap = 0;
};

Stream configure() {
    Stream s;
    double rate = kRate;
    int32_t channels = 2, bits = 16;
    s.tap = virtualDriver().tws_virtual_output_count();
    if (library()->SOConfigure(0, kRingFrames, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &s.refnum) > 0)
        s.refnum = -1;
    return s;
}

void fillRamp(TwArrayHandle block, uint32_t first) {
    for (int32_t i = 0; i < testhost::cols(block); ++i) {
        const uint32_t id = first + static_cast<uint32_t>(i);
        testhost::set2D<int16_t>(block, 0, i, static_cast<int16_t>(id % kIdSpan + 1));
        testhost::set2D<int16_t>(block, 1, i, static_cast<int16_t>(id / kIdSpan + 1));
    }
}

// Writes `blocks` ramp blocks of `frames` each; returns the CPU time spent
// inside SOWrite.
int64_t feed(const Stream& s, int blocks, int32_t frames = kBlockFrames) {
    auto block = testhost::makeArray2D(TW_TYPE_I16, 2, frames);
    int64_t cpu = 0;
    for (int b = 0; b < blocks; ++b) {
        fillRamp(block.get(), static_cast<uint32_t>(b * frames));
        const int64_t start = nowNs(CLOCK_THREAD_CPUTIME_ID);
        const int32_t r = library()->SOWrite(s.refnum, block.get(), -1, TW_TYPE_I16);
        cpu += nowNs(CLOCK_THREAD_CPUTIME_ID) - start;
        if (r > 0) break;
    }
    library()->SOWait(s.refnum, -1);
    return cpu;
}

// The whole ramp once, in order, silence only before and after it.
bool gapless(const Stream& s, uint32_t frames) {
    tws_virtual_tap info{};
    if (virtualDriver().tws_virtual_tap_info(s.tap, &info) != TWS_OK) return false;
    std::vector<int16_t> tap(info.kept / 2);
    virtualDriver().tws_virtual_tap_read(s.tap, 0, tap.data(), tap.size() * 2);
    uint32_t next = 0;
    for (size_t i = 0; i + 1 < tap.size(); i += 2) {
        if (tap[i] == 0 && tap[i + 1] == 0) {
            if (next != 0 && next != frames) return false;
            continue;
        }
        const uint32_t id = static_cast<uint32_t>(tap[i + 1] - 1) * kIdSpan + static_cast<uint32_t>(tap[i] - 1);
        if (id != next++) return false;
    }
    return next == frames;
}

void streamCost(benchmark::State& state) {
    virtualDriver().tws_virtual_reset();
    const int blocks = static_cast<int>(4 * kRate / kBlockFrames);
    for (auto _ : state) {
        Stream s = configure();
        if (s.refnum < 0) {
            state.SkipWithError("SOConfigure failed");
            return;
        }
        const ThreadStats before = workerStats();
        const int64_t processBefore = nowNs(CLOCK_PROCESS_CPUTIME_ID);
        const int64_t threadBefore = nowNs(CLOCK_THREAD_CPUTIME_ID);
        const int64_t writeNs = feed(s, blocks);
        const int64_t benchThreadNs = nowNs(CLOCK_THREAD_CPUTIME_ID) - threadBefore;
        const int64_t processNs = nowNs(CLOCK_PROCESS_CPUTIME_ID) - processBefore;
        const ThreadStats after = workerStats();
        const double audioSeconds = blocks * kBlockFrames / kRate;
        const double cycles = blocks * kBlockFrames / static_cast<double>(kRingFrames);
        const double workerNs = static_cast<double>(after.cpuNs - before.cpuNs);
        state.counters["worker_cpu_pct"] = workerNs / 1e9 / audioSeconds * 100;
        state.counters["write_cpu_pct"] = writeNs / 1e9 / audioSeconds * 100;
        state.counters["library_cpu_pct"] = (workerNs + writeNs) / 1e9 / audioSeconds * 100;
        state.counters["driver_cpu_pct"] = (processNs - benchThreadNs - workerNs) / 1e9 / audioSeconds * 100;
        state.counters["switches_per_cycle"] = (after.wakeups - before.wakeups) / cycles;
        state.counters["gapless"] = gapless(s, static_cast<uint32_t>(blocks * kBlockFrames));
        library()->SOClear(s.refnum);
    }
}

void streams(benchmark::State& state) {
    virtualDriver().tws_virtual_reset();
    const int count = static_cast<int>(state.range(0));
    const int blocks = static_cast<int>(2 * kRate / kBlockFrames);
    for (auto _ : state) {
        std::vector<Stream> all;
        for (int i = 0; i < count; ++i) all.push_back(configure());
        std::vector<std::thread> feeders;
        for (const Stream& s : all)
            if (s.refnum >= 0) feeders.emplace_back([&s, blocks] { feed(s, blocks); });
        for (auto& t : feeders) t.join();
        int whole = 0;
        for (const Stream& s : all) {
            whole += s.refnum >= 0 && gapless(s, static_cast<uint32_t>(blocks * kBlockFrames));
            library()->SOClear(s.refnum);
        }
        state.counters["gapless"] = whole;
        state.counters["streams"] = count;
    }
}

// No polling: a configured continuous task that plays nothing leaves its
// worker asleep.
void workerIdle(benchmark::State& state) {
    virtualDriver().tws_virtual_reset();
    for (auto _ : state) {
        Stream s = configure();
        if (s.refnum < 0) {
            state.SkipWithError("SOConfigure failed");
            return;
        }
        // From when the new worker has gone to sleep the first time.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const ThreadStats before = workerStats();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const ThreadStats after = workerStats();
        state.counters["idle_switches_per_s"] = static_cast<double>(after.wakeups - before.wakeups);
        library()->SOClear(s.refnum);
    }
}

BENCHMARK(streamCost)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(workerIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(streams)->Arg(16)->Arg(64)->Arg(128)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    setenv("TONEWELL_SOUND_DRIVER", "virtual", 0);
    // By default the library beside this program: bin/../lib.
    if (!std::getenv("TONEWELL_LIB_DIR")) {
        char exe[4096] = {};
        ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
        std::string dir = n > 0 ? std::string(exe, size_t(n)) : std::string();
        dir = dir.substr(0, dir.find_last_of('/') + 1) + "../lib";
        setenv("TONEWELL_LIB_DIR", dir.c_str(), 0);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
