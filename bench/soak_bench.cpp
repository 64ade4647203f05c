// Soak: one continuous output stream and one continuous capture through the
// exports, on the virtual driver at speed 1 (48 kHz, stereo, 16 bit; an
// output ring of 200 ms fed in blocks of 50 ms, a capture ring of 400 ms read
// in blocks of 50 ms), for a chosen time: --soak_seconds=N or
// TONEWELL_SOAK_SECONDS (default 60).
//
// Every frame played is read back from the output buffer's tap (drained as
// it goes, so the tap holds little) and must carry the next number of the
// stream the feeder writes; every frame captured must carry the next value
// of the virtual capture's counter signal. Resident memory and CPU time are
// sampled each second; a line every 10 s shows them as they go.
//
// Counters:
//   out_frames_checked, out_mismatches: frames heard out of order, repeated
//     or changed (goal 0); out_silent_frames: silence inside the stream (the
//     feeder fell behind; goal 0); out_unplayed: frames written but never
//     heard (goal 0).
//   in_frames_checked, in_mismatches (goal 0); in_restarts: captures that
//     stopped (an overrun) and were configured again (goal 0).
//   rss_first_mib, rss_last_mib: mean resident memory over the first and
//     the last minute (over thirds of the run when it is under 3 minutes).
//   cpu_first_pct, cpu_last_pct: CPU time of the whole process in those
//     windows, percent of one core; lib_cpu_first_pct, lib_cpu_last_pct:
//     the library's workers alone ("tw-output", "tw-capture").
// Needs TONEWELL_LIB_DIR (default: ../lib beside this program).
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
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

using benchstats::clockNs;

constexpr double kRate = 48000.0;
constexpr int32_t kRingFrames = 9600;
constexpr int32_t kBlockFrames = 2400;  // a quarter of the ring: no padding
// 400 ms: a capture worker late by a whole ring loses that ring unseen (the
// positions repeat every lap), and a shared machine can be that late.
constexpr int32_t kCaptureRingFrames = 19200;
constexpr int32_t kSpan = 32767;        // frame number = (right - 1) * kSpan + left - 1

double gSeconds = 60;

// The frames the output tap has played, against the numbers written.
struct OutputCheck {
    uint64_t next = 0;
    uint64_t checked = 0, mismatches = 0, silent = 0;
    uint64_t silenceRun = 0;
    bool started = false;
    std::vector<std::string> firstWrong;  // what the first few wrong frames held

    void frames(const int16_t* s, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const int16_t left = s[2 * i], right = s[2 * i + 1];
            if (left == 0 && right == 0) {
                if (started) ++silenceRun;  // counted once sound follows it
                continue;
            }
            started = true;
            silent += silenceRun;
            silenceRun = 0;
            const int64_t id = int64_t{right - 1} * kSpan + (left - 1);
            if (id != static_cast<int64_t>(next)) {
                ++mismatches;
                if (firstWrong.size() < 5)
                    firstWrong.push_back("frame " + std::to_string(id) + " where " + std::to_string(next) +
                                         " was due, after " + std::to_string(checked) + " right");
            }
            next = static_cast<uint64_t>(id) + 1;
            ++checked;
        }
    }
};

// The captured frames against the counter signal: frame n, channel c holds
// (n + 1000 c) mod 65536. The host array holds one row per channel.
struct CaptureCheck {
    uint16_t next = 0;
    uint64_t checked = 0, mismatches = 0;
    bool started = false;
    std::vector<std::string> firstWrong;

    void frames(const int16_t* left0, const int16_t* right0, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            const auto left = static_cast<uint16_t>(left0[i]), right = static_cast<uint16_t>(right0[i]);
            if (!started) next = left;
            started = true;
            if (left != next || right != static_cast<uint16_t>(next + 1000)) {
                ++mismatches;
                if (firstWrong.size() < 5)
                    firstWrong.push_back(std::to_string(left) + "/" + std::to_string(right) + " where " +
                                         std::to_string(next) + " was due, after " + std::to_string(checked) +
                                         " frames (" + std::to_string(i) + " into the block)");
            }
            next = static_cast<uint16_t>(left + 1);
            ++checked;
        }
    }
};

struct Sample {
    double seconds;
    int64_t rss, cpuNs, libCpuNs;
};

int64_t libraryCpuNs() {
    return benchstats::namedThreadsCpuNs("tw-output") + benchstats::namedThreadsCpuNs("tw-capture");
}

// Mean RSS and CPU percentages over [from, to] seconds of the samples.
struct Window {
    double rssMiB = 0, cpuPct = 0, libCpuPct = 0;
};
Window window(const std::vector<Sample>& samples, double from, double to) {
    Window w;
    const Sample* first = nullptr;
    const Sample* last = nullptr;
    double rss = 0;
    int n = 0;
    for (const Sample& s : samples) {
        if (s.seconds < from || s.seconds > to) continue;
        if (!first) first = &s;
        last = &s;
        rss += static_cast<double>(s.rss);
        ++n;
    }
    if (!n || first == last) return w;
    const double wall = (last->seconds - first->seconds) * 1e9;
    w.rssMiB = rss / n / 1048576.0;
    w.cpuPct = static_cast<double>(last->cpuNs - first->cpuNs) / wall * 100;
    w.libCpuPct = static_cast<double>(last->libCpuNs - first->libCpuNs) / wall * 100;
    return w;
}

TaskRefnum configureCapture(const testhost::Exports& api) {
    double rate = kRate;
    int32_t channels = 2, bits = 16;
    TaskRefnum refnum = -1;
    if (api.SIConfigure(0, kCaptureRingFrames, &rate, &channels, &bits, 1, &refnum) > 0) return -1;
    return refnum;
}

void soak(benchmark::State& state) {
    auto& lib = testhost::library();
    auto& vd = testhost::virtualDriver();
    if (!lib.loaded() || !vd.loaded()) {
        state.SkipWithError("set TONEWELL_LIB_DIR to the built lib/ directory");
        return;
    }
    const testhost::Exports& api = lib.api();
    vd.tws_virtual_reset();
    vd.tws_virtual_set_speed(1.0);
    vd.tws_virtual_set_tap_dir("");
    vd.tws_virtual_set_tap_limit(8u << 20);

    for (auto _ : state) {
        double rate = kRate;
        int32_t channels = 2, bits = 16;
        const uint32_t tap = vd.tws_virtual_output_count();
        TaskRefnum output = -1;
        TaskRefnum capture = configureCapture(api);
        if (api.SOConfigure(0, kRingFrames, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &output) > 0 || capture < 0) {
            state.SkipWithError("configuring the stream or the capture failed");
            return;
        }
        std::atomic<bool> stop{false};
        std::atomic<uint64_t> written{0}, writeFailures{0};

        std::thread feeder([&] {
            auto block = testhost::makeArray2D(TW_TYPE_I16, 2, kBlockFrames);
            for (uint64_t id = 0; !stop.load(); id += kBlockFrames) {
                for (int32_t i = 0; i < kBlockFrames; ++i) {
                    const uint64_t n = id + static_cast<uint64_t>(i);
                    testhost::set2D<int16_t>(block.get(), 0, i, static_cast<int16_t>(n % kSpan + 1));
                    testhost::set2D<int16_t>(block.get(), 1, i, static_cast<int16_t>(n / kSpan + 1));
                }
                const int32_t r = api.SOWrite(output, block.get(), 5.0, TW_TYPE_I16);
                if (r > 0) {
                    ++writeFailures;
                    return;
                }
                written += kBlockFrames;
            }
        });

        CaptureCheck in;
        std::atomic<uint64_t> restarts{0};
        std::mutex inMutex;
        std::thread reader([&] {
            auto block = testhost::makeArray2D(TW_TYPE_I16, 2, kBlockFrames);
            while (!stop.load()) {
                int32_t total = 0;
                const int32_t r = api.SIRead(capture, block.get(), kBlockFrames, &total, 5.0, TW_TYPE_I16);
                const int32_t frames = testhost::cols(block.get());
                std::lock_guard lock(inMutex);
                if (testhost::rows(block.get()) == 2) {
                    const int16_t* samples = testhost::elements2D<int16_t>(block.get());
                    in.frames(samples, samples + frames, static_cast<size_t>(frames));
                }
                if (r != 0 || frames != kBlockFrames) {
                    // A stopped capture cannot start again: a new one.
                    ++restarts;
                    api.SIClear(capture);
                    capture = configureCapture(api);
                    in.started = false;
                    if (capture < 0) return;
                }
            }
        });

        OutputCheck out;
        std::vector<int16_t> drained(1 << 16);
        auto drain = [&] {
            int64_t n;
            while ((n = vd.tws_virtual_tap_drain(tap, drained.data(), drained.size() * 2)) > 0)
                out.frames(drained.data(), static_cast<size_t>(n) / 4);
        };

        std::vector<Sample> samples;
        const int64_t start = clockNs(CLOCK_MONOTONIC);
        std::fprintf(stderr, "%8s %13s %6s %6s %13s %6s %9s %7s %7s\n", "seconds", "out checked", "wrong", "silent",
                     "in checked", "wrong", "RSS MiB", "CPU %", "lib %");
        for (int tick = 1; tick <= static_cast<int>(gSeconds * 10); ++tick) {
            std::this_thread::sleep_until(std::chrono::steady_clock::time_point(std::chrono::nanoseconds(start + tick * 100000000LL)));
            drain();
            if (tick % 10) continue;
            const double t = static_cast<double>(clockNs(CLOCK_MONOTONIC) - start) / 1e9;
            samples.push_back({t, benchstats::residentBytes(), benchstats::processCpuNs(), libraryCpuNs()});
            if (tick % 100 == 0 && samples.size() >= 11) {
                const Window w = window(samples, t - 10.5, t);
                std::lock_guard lock(inMutex);
                std::fprintf(stderr, "%8.0f %13llu %6llu %6llu %13llu %6llu %9.1f %7.2f %7.2f\n", t,
                             static_cast<unsigned long long>(out.checked),
                             static_cast<unsigned long long>(out.mismatches), static_cast<unsigned long long>(out.silent),
                             static_cast<unsigned long long>(in.checked), static_cast<unsigned long long>(in.mismatches),
                             w.rssMiB, w.cpuPct, w.libCpuPct);
            }
        }
        stop = true;
        feeder.join();
        reader.join();
        api.SOWait(output, 5.0);
        drain();
        api.SOClear(output);
        api.SIClear(capture);

        for (const std::string& w : out.firstWrong) std::fprintf(stderr, "output: %s\n", w.c_str());
        for (const std::string& w : in.firstWrong) std::fprintf(stderr, "capture: %s\n", w.c_str());
        const double total = samples.empty() ? 0 : samples.back().seconds;
        const double span = std::min(60.0, total / 3);
        const Window first = window(samples, 0, span), last = window(samples, total - span, total);
        state.counters["out_frames_checked"] = static_cast<double>(out.checked);
        state.counters["out_mismatches"] = static_cast<double>(out.mismatches);
        state.counters["out_silent_frames"] = static_cast<double>(out.silent);
        state.counters["out_unplayed"] = static_cast<double>(written.load() - std::min(written.load(), out.next));
        state.counters["out_write_failures"] = static_cast<double>(writeFailures.load());
        state.counters["in_frames_checked"] = static_cast<double>(in.checked);
        state.counters["in_mismatches"] = static_cast<double>(in.mismatches);
        state.counters["in_restarts"] = static_cast<double>(restarts.load());
        state.counters["rss_first_mib"] = first.rssMiB;
        state.counters["rss_last_mib"] = last.rssMiB;
        state.counters["cpu_first_pct"] = first.cpuPct;
        state.counters["cpu_last_pct"] = last.cpuPct;
        state.counters["lib_cpu_first_pct"] = first.libCpuPct;
        state.counters["lib_cpu_last_pct"] = last.libCpuPct;
        state.counters["window_s"] = span;
    }
}

BENCHMARK(soak)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (const char* s = std::getenv("TONEWELL_SOAK_SECONDS")) gSeconds = std::atof(s);
    // Our own option, taken out before the benchmark library reads the rest.
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (!std::strncmp(argv[i], "--soak_seconds=", 15))
            gSeconds = std::atof(argv[i] + 15);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    benchstats::useBuiltLibrary();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
