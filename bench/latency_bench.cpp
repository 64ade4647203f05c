// The ALSA driver on a real sound server (scripts/sound-server.sh; needs
// PULSE_SERVER and TONEWELL_LIB_DIR). Plays through ALSA's default device
// and captures the server's monitor through the library's exports.
//   BM_OutputLatency: time from SOWrite returning (on a stopped task, so
//     playback starts) to the read that holds its first sample coming back
//     through the monitor (counter latency_ms, median; includes the capture
//     side's latency and up to one 20 ms capture quarter, so it bounds the
//     output latency from above). Argument: the output ring in frames.
//   BM_StreamCpu: process CPU time while one continuous 44.1 kHz stereo
//     output stream and one input stream run (counter cpu_pct of one core).
#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>

#include "host/Library.h"
#include "host/TestHost.h"

namespace {

using testhost::library;
using Clock = std::chrono::steady_clock;

constexpr double kRate = 44100;
constexpr int32_t kCaptureRing = 3528;  // quarters of 20 ms: the read granularity
constexpr int32_t kReadFrames = kCaptureRing / 4;

const bool kAlsaSelected = [] {
    ::setenv("TONEWELL_SOUND_DRIVER", "alsa", 1);
    return true;
}();

// The index of the device named after ALSA's default PCM, or -1.
int32_t defaultDevice(uint8_t input) {
    int32_t count = 0;
    library()->SoundNumDevices(&input, &count);
    for (int32_t i = 0; i < count; ++i) {
        auto channels = testhost::makeInt32Array({});
        auto bits = testhost::makeInt32Array({});
        auto name = testhost::makeString("");
        double lo = 0, hi = 0;
        library()->SoundDeviceInfo(i, &input, channels.get(), bits.get(), &lo, &hi, name.get());
        if (testhost::readString(name.get()).find("(default)") != std::string::npos) return i;
    }
    return -1;
}

struct Tasks {
    TaskRefnum output = -1;
    TaskRefnum input = -1;
    bool ok = false;
    Tasks(int32_t outputRing, int32_t inputRing) {
        (void)kAlsaSelected;
        const int32_t out = defaultDevice(0), in = defaultDevice(1);
        if (out < 0 || in < 0) return;
        double rate = kRate;
        int32_t channels = 2, bits = 16;
        ok = library()->SIConfigure(in, inputRing, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &input) == 0 &&
             library()->SOConfigure(out, outputRing, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &output) == 0;
    }
    ~Tasks() {
        if (output >= 0) library()->SOClear(output);
        if (input >= 0) library()->SIClear(input);
    }
};

// Reads the capture a quarter at a time and notes when the first loud frame
// of each burst arrived.
class Listener {
public:
    explicit Listener(TaskRefnum input) : input_(input), thread_([this] { run(); }) {}
    ~Listener() {
        stop_ = true;
        thread_.join();
    }
    // Waits for a burst heard after `since`: when the read holding it
    // returned (so the figure includes up to one capture quarter).
    bool heardAfter(Clock::time_point since, Clock::time_point& at) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::seconds(3), [&] {
            if (heard_ > since) at = heard_;
            return heard_ > since;
        });
    }

private:
    void run() {
        auto block = testhost::makeArray2D(TW_TYPE_I16, 2, kReadFrames);
        bool loud = false;
        while (!stop_) {
            int32_t total = 0;
            const int32_t r = library()->SIRead(input_, block.get(), kReadFrames, &total, 1.0, TW_TYPE_I16);
            if (r > 0) break;
            const auto now = Clock::now();
            const int32_t n = testhost::cols(block.get());
            for (int32_t i = 0; i < n; ++i) {
                const bool l = std::abs(testhost::get2D<int16_t>(block.get(), 0, i)) > 1000;
                if (l && !loud) {
                    std::lock_guard lock(mutex_);
                    heard_ = now;
                    cv_.notify_all();
                }
                loud = l;
            }
        }
    }

    TaskRefnum input_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable cv_;
    Clock::time_point heard_{};
    std::thread thread_;
};

testhost::ArrayPtr burst(int32_t frames, int32_t loudFrames) {
    auto block = testhost::makeArray2D(TW_TYPE_I16, 2, frames);
    for (int32_t i = 0; i < loudFrames; ++i)
        for (int32_t c = 0; c < 2; ++c)
            testhost::set2D<int16_t>(block.get(), c, i, static_cast<int16_t>(i % 2 ? 12000 : -12000));
    return block;
}

void BM_OutputLatency(benchmark::State& state) {
    Tasks tasks(static_cast<int32_t>(state.range(0)), kCaptureRing);
    if (!tasks.ok) {
        state.SkipWithError("no sound server: start scripts/sound-server.sh and set PULSE_SERVER");
        return;
    }
    Listener listener(tasks.input);
    const int32_t frames = static_cast<int32_t>(state.range(0));
    auto block = burst(frames / 4, 441);  // a quarter: in the ring at once
    std::vector<double> latencies;
    for (auto _ : state) {
        const int32_t w = library()->SOWrite(tasks.output, block.get(), 5.0, TW_TYPE_I16);
        const auto written = Clock::now();
        if (w > 0) {
            state.SkipWithError("SOWrite failed");
            return;
        }
        Clock::time_point heard;
        if (!listener.heardAfter(written, heard)) {
            state.SkipWithError("the burst never came back");
            return;
        }
        const double seconds = std::chrono::duration<double>(heard - written).count();
        state.SetIterationTime(seconds);
        latencies.push_back(seconds * 1000);
        library()->SOWait(tasks.output, 5.0);
    }
    std::sort(latencies.begin(), latencies.end());
    if (!latencies.empty()) {
        state.counters["latency_ms"] = latencies[latencies.size() / 2];
        state.counters["latency_max_ms"] = latencies.back();
    }
}
BENCHMARK(BM_OutputLatency)->Arg(4410)->Arg(44100)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

void BM_StreamCpu(benchmark::State& state) {
    Tasks tasks(22052, 22052);
    if (!tasks.ok) {
        state.SkipWithError("no sound server: start scripts/sound-server.sh and set PULSE_SERVER");
        return;
    }
    constexpr int32_t kBlock = 4410;
    auto block = testhost::makeArray2D(TW_TYPE_I16, 2, kBlock);
    for (int32_t i = 0; i < kBlock; ++i)
        for (int32_t c = 0; c < 2; ++c)
            testhost::set2D<int16_t>(block.get(), c, i, static_cast<int16_t>(8000 * std::sin(i * 0.0628)));
    auto captured = testhost::makeArray2D(TW_TYPE_I16, 2, kBlock);
    double cpu = 0, wall = 0;
    for (auto _ : state) {
        std::atomic<bool> done{false};
        std::thread reader([&] {
            int32_t total = 0;
            while (!done && library()->SIRead(tasks.input, captured.get(), kBlock, &total, 1.0, TW_TYPE_I16) <= 0) {
            }
        });
        const double cpu0 = cpuSeconds();
        const auto t0 = Clock::now();
        for (int i = 0; i < 20; ++i) library()->SOWrite(tasks.output, block.get(), 5.0, TW_TYPE_I16);
        cpu += cpuSeconds() - cpu0;
        wall += std::chrono::duration<double>(Clock::now() - t0).count();
        done = true;
        reader.join();
    }
    state.counters["cpu_pct"] = wall > 0 ? 100 * cpu / wall : 0;
}
BENCHMARK(BM_StreamCpu)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
