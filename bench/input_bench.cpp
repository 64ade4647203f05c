// Cost of continuous capture through the exports on the virtual driver at
// speed 1 (48 kHz, stereo, 16 bit, ring of 100 ms, blocks of 50 ms read as
// int16).
//
// Counters:
//   cpu_pct_per_capture: CPU time of the library's own work (the capture
//     workers, named "tw-capture", plus the host threads' time inside SIRead)
//     per second of audio, in percent of one core, averaged over captures.
//     Goal: under 1.
//   overruns: captures that ended early (an overrun stops a capture). Goal: 0
//     with 32 captures at once.
// Needs TONEWELL_LIB_DIR (the built lib/ directory); selects the virtual driver.
#include <dirent.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "BuiltLibrary.h"
#include "ProcessStats.h"
#include "host/Library.h"
#include "host/TestHost.h"
#include "host/VirtualDriver.h"

namespace {

constexpr double kRate = 48000.0;
constexpr int32_t kRingFrames = 4800;
constexpr int32_t kBlockFrames = 2400;
constexpr double kAudioSeconds = 3.0;

struct CaptureRun {
    TaskRefnum refnum = -1;
    int64_t readCpuNs = 0;
    bool overrun = false;
    int32_t failure = 0;
};

// Reads kAudioSeconds of audio from one task in blocks.
void readFor(const testhost::Exports& api, CaptureRun& run, const std::atomic<bool>& go) {
    while (!go.load()) std::this_thread::yield();
    auto block = testhost::makeArray2D(TW_TYPE_I16, 2, kBlockFrames);
    const int blocks = static_cast<int>(kAudioSeconds * kRate / kBlockFrames);
    for (int i = 0; i < blocks; ++i) {
        int32_t total = 0;
        const int64_t before = benchstats::clockNs(CLOCK_THREAD_CPUTIME_ID);
        const int32_t result = api.SIRead(run.refnum, block.get(), kBlockFrames, &total, 5.0, TW_TYPE_I16);
        run.readCpuNs += benchstats::clockNs(CLOCK_THREAD_CPUTIME_ID) - before;
        if (result != 0 || testhost::cols(block.get()) != kBlockFrames) {
            run.overrun = result == 0 || result == 4823;
            run.failure = result;
            return;
        }
    }
}

void captureMany(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    auto& lib = testhost::library();
    auto& vd = testhost::virtualDriver();
    if (!lib.loaded() || !vd.loaded()) {
        state.SkipWithError("set TONEWELL_LIB_DIR to the built lib/ directory");
        return;
    }
    vd.tws_virtual_reset();
    vd.tws_virtual_set_speed(1.0);
    const testhost::Exports& api = lib.api();

    for (auto _ : state) {
        std::vector<CaptureRun> runs(count);
        for (CaptureRun& run : runs) {
            double rate = kRate;
            int32_t channels = 2, bits = 16;
            if (api.SIConfigure(0, kRingFrames, &rate, &channels, &bits, 1, &run.refnum) != 0) {
                state.SkipWithError("SIConfigure failed");
                return;
            }
        }
        std::atomic<bool> go{false};
        std::vector<std::thread> readers;
        for (CaptureRun& run : runs) readers.emplace_back(readFor, std::cref(api), std::ref(run), std::cref(go));
        const int64_t workersBefore = benchstats::namedThreadsCpuNs("tw-capture");
        go = true;
        for (auto& t : readers) t.join();
        const int64_t workersNs = benchstats::namedThreadsCpuNs("tw-capture") - workersBefore;

        int64_t readNs = 0;
        int overruns = 0, failures = 0;
        for (CaptureRun& run : runs) {
            readNs += run.readCpuNs;
            overruns += run.overrun;
            failures += run.failure != 0 && !run.overrun;
            api.SIClear(run.refnum);
        }
        const double perCapture = double(workersNs + readNs) / 1e9 / kAudioSeconds / count;
        state.counters["cpu_pct_per_capture"] = 100.0 * perCapture;
        state.counters["worker_pct_per_capture"] = 100.0 * double(workersNs) / 1e9 / kAudioSeconds / count;
        state.counters["overruns"] = overruns;
        state.counters["other_failures"] = failures;
        state.counters["captures"] = count;
    }
}

BENCHMARK(captureMany)->Arg(1)->Arg(32)->Arg(64)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    benchstats::useBuiltLibrary();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
