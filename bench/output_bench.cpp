// Continuous output on the virtual driver at speed 1: 48 kHz, stereo, 16 bit,
// a ring of 200 ms, blocks of 50 ms written as int16. The library is linked
// into this program, so its task objects can be read directly.
//
// streamCost, one stream of 4 s:
//   worker_cpu_pct: CPU time of the task's worker thread ("tw-output") per
//     second of audio, in percent of one core.
//   write_cpu_pct: CPU time of the host thread inside SOWrite (the library
//     converts there what fits at once) per second of audio.
//   library_cpu_pct: the sum of both. Goal: under 1.
//   driver_cpu_pct: every other thread of the process (the virtual driver's
//     clock thread, the simulated hardware), reported apart.
//   wakeups_per_cycle: returns of the worker's wait from before the first
//     write until SOWait has returned, per ring cycle the buffer played in
//     that time (bytes its tap saw / ring bytes). Goal: 4, one per quarter.
//   wakeups_beyond_quarters: those wake-ups minus the quarter boundaries the
//     play cursor passed. Expected 1: the first write hands its block to the
//     stopped ring through the more-data event. Anything more is a wake-up
//     with no cause.
// workerIdle: idle_wakeups_per_s of the worker of a task that plays
//   nothing, from right after SOConfigure. Goal: 0 (it sleeps on its events).
// streams/N, N streams of 2 s at once, each fed by its own host thread:
//   gapless: streams whose tap holds the whole ramp, in order, with no
//     silence inside. Goal: all of them with 64 streams.
// Selects the virtual driver. The sound module is the one beside this
// program (a link the build makes), the same file for the library and for the
// driver controls.
#include <dirent.h>
#include <link.h>
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

#include "ProcessStats.h"
#include "core/OutputConfiguration.h"
#include "core/RefnumRegistry.h"
#include "core/Registries.h"
#include "host/TestHost.h"
#include "host/VirtualDriver.h"
#include "output/OutputConfigurationData.h"
#include "tonewell/tonewell.h"

namespace {

using testhost::virtualDriver;

constexpr double kRate = 48000.0;
constexpr int32_t kRingFrames = 9600;
constexpr int32_t kBlockFrames = 2400;
constexpr uint32_t kFrameBytes = 4;
constexpr uint32_t kIdSpan = 30000;

// Returns of the wait of the task's worker so far, looked up the way the
// exports find a task.
uint64_t workerWakeups(TaskRefnum refnum) {
    tw::Acquired<tw::OutputConfiguration> task(tw::outputTaskRegistry(), refnum, false);
    const auto* data = dynamic_cast<const tw::OutputConfigurationData*>(task.get());
    return data ? data->wakeups() : 0;
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
    if (SOConfigure(0, kRingFrames, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &s.refnum) > 0) s.refnum = -1;
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
        const int64_t start = benchstats::clockNs(CLOCK_THREAD_CPUTIME_ID);
        const int32_t r = SOWrite(s.refnum, block.get(), -1, TW_TYPE_I16);
        cpu += benchstats::clockNs(CLOCK_THREAD_CPUTIME_ID) - start;
        if (r > 0) break;
    }
    SOWait(s.refnum, -1);
    return cpu;
}

// Bytes the buffer's play cursor has passed.
uint64_t bytesPlayed(const Stream& s) {
    tws_virtual_tap info{};
    return virtualDriver().tws_virtual_tap_info(s.tap, &info) == TWS_OK ? info.total : 0;
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
        // The window spans everything the buffer plays: it is stopped
        // before the first write and has stopped again when SOWait returns.
        const uint64_t wakeupsBefore = workerWakeups(s.refnum);
        const int64_t workerBefore = benchstats::namedThreadsCpuNs("tw-output");
        const int64_t processBefore = benchstats::clockNs(CLOCK_PROCESS_CPUTIME_ID);
        const int64_t threadBefore = benchstats::clockNs(CLOCK_THREAD_CPUTIME_ID);
        const int64_t writeNs = feed(s, blocks);
        const int64_t benchThreadNs = benchstats::clockNs(CLOCK_THREAD_CPUTIME_ID) - threadBefore;
        const int64_t processNs = benchstats::clockNs(CLOCK_PROCESS_CPUTIME_ID) - processBefore;
        const double workerNs = static_cast<double>(benchstats::namedThreadsCpuNs("tw-output") - workerBefore);
        const double wakeups = static_cast<double>(workerWakeups(s.refnum) - wakeupsBefore);
        const uint64_t played = bytesPlayed(s);
        const double audioSeconds = blocks * kBlockFrames / kRate;
        state.counters["worker_cpu_pct"] = workerNs / 1e9 / audioSeconds * 100;
        state.counters["write_cpu_pct"] = writeNs / 1e9 / audioSeconds * 100;
        state.counters["library_cpu_pct"] = (workerNs + writeNs) / 1e9 / audioSeconds * 100;
        state.counters["driver_cpu_pct"] = (processNs - benchThreadNs - workerNs) / 1e9 / audioSeconds * 100;
        const double cycles = static_cast<double>(played) / (kRingFrames * kFrameBytes);
        state.counters["wakeups_per_cycle"] = cycles > 0 ? wakeups / cycles : 0;
        // Each quarter's notification sits on its last byte.
        const uint64_t quarters = played / (kBlockFrames * kFrameBytes);
        state.counters["wakeups_beyond_quarters"] = wakeups - static_cast<double>(quarters);
        state.counters["gapless"] = gapless(s, static_cast<uint32_t>(blocks * kBlockFrames));
        SOClear(s.refnum);
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
            SOClear(s.refnum);
        }
        state.counters["gapless"] = whole;
        state.counters["streams"] = count;
    }
}

// No polling: a configured continuous task that plays nothing leaves its
// worker asleep, from its first wait on.
void workerIdle(benchmark::State& state) {
    virtualDriver().tws_virtual_reset();
    for (auto _ : state) {
        Stream s = configure();
        if (s.refnum < 0) {
            state.SkipWithError("SOConfigure failed");
            return;
        }
        const uint64_t before = workerWakeups(s.refnum);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        state.counters["idle_wakeups_per_s"] = static_cast<double>(workerWakeups(s.refnum) - before);
        SOClear(s.refnum);
    }
}

BENCHMARK(streamCost)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(workerIdle)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(streams)->Arg(16)->Arg(64)->Arg(128)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int countCopies(dl_phdr_info* info, size_t, void* count) {
    const std::string name = info->dlpi_name ? info->dlpi_name : "";
    const size_t slash = name.find_last_of('/');
    if (name.substr(slash == std::string::npos ? 0 : slash + 1) == TWS_MODULE_FILE) ++*static_cast<int*>(count);
    return 0;
}

// Loaded copies of the sound module. With two, the taps the driver controls
// read would belong to the other copy.
int soundModuleCopies() {
    int count = 0;
    dl_iterate_phdr(countCopies, &count);
    return count;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("TONEWELL_SOUND_DRIVER", "virtual", 0);
    // The driver controls load the module the library loads: the one beside
    // this program.
    char exe[4096] = {};
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    const std::string path = n > 0 ? std::string(exe, size_t(n)) : std::string();
    setenv("TONEWELL_LIB_DIR", path.substr(0, path.find_last_of('/')).c_str(), 1);
    if (!virtualDriver().loaded()) {
        std::fprintf(stderr, "cannot load %s\n", testhost::soundModulePath().c_str());
        return 1;
    }
    uint8_t input = 0;
    int32_t devices = 0;
    SoundNumDevices(&input, &devices);
    if (soundModuleCopies() != 1 || devices <= 0) {
        std::fprintf(stderr, "the library and the driver controls do not share one sound module (%d copies, %d "
                             "devices)\n", soundModuleCopies(), devices);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
