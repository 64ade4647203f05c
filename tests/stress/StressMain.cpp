// The stress host: a host of its own (the test host's run-time operations
// and probe symbol) whose threads call every export at random on shared
// refnums of all three registries for a chosen time, while another thread
// runs the host's clean-up procedures now and then. It fails when a call
// hangs (with every thread's stack), when a result is not a documented code,
// and when, after everything is cleared, threads, descriptors or heap are
// left over.
//
//   stress_host [--seconds N] [--seed N] [--threads N] [--no-cleanup]
//               [--only EXPORT,EXPORT,...]
//
// --no-cleanup leaves the host's clean-up thread out (to tell its faults
// from the others'); --only calls just the exports named (objects they
// displace are still cleared).
//
// N seconds in all (default TONEWELL_STRESS_SECONDS, else 10): a warm-up of
// a quarter of it (2 to 15 s) fills every cache the library and its modules
// keep, then everything is cleared and the process measured; the rest runs
// in two halves, each ending with everything cleared and measured again.
// Threads and descriptors must be back to the warm-up's count; the heap may
// not grow over the second half beyond a small allowance.
#include <dlfcn.h>

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Caller.h"
#include "Resources.h"
#include "Shared.h"
#include "Watchdog.h"
#include "host/Library.h"
#include "host/TestHost.h"
#include "host/VirtualDriver.h"
#include "playback/TestFiles.h"
#include "tonewell_music_control.h"

namespace stress {
namespace {

constexpr double kHangSeconds = 20.0;
// Heap the second half of the run may add to the first: what the General
// MIDI synthesiser's libraries keep after a synth is gone (glib's slice
// magazines, libinstpatch's tables; about 50 to 100 KiB a half, not growing
// with the run's length), containers whose capacity follows the peak number
// of objects alive at once, and allocator rounding. A leak of one object
// per call of a busy export would pass it within a half of a minute's run.
constexpr int64_t kHeapAllowance = 256 * 1024;
// Resident memory: the heap above plus pages the allocator keeps (trimmed
// before each measure) and thread stacks that glibc caches for reuse.
constexpr int64_t kRssAllowance = 16 * 1024 * 1024;

struct Options {
    double seconds = 10;
    uint64_t seed = 0;
    int threads = 16;
    bool cleanups = true;
    ExportSet exports = ExportSet().set();
};

Options parse(int argc, char** argv) {
    Options o;
    if (const char* s = std::getenv("TONEWELL_STRESS_SECONDS")) o.seconds = std::atof(s);
    o.seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    bool noCleanup = false;
    std::vector<std::string> only;
    CLI::App app{"stress host"};
    app.add_option("--seconds", o.seconds);
    app.add_option("--seed", o.seed);
    app.add_option("--threads", o.threads)->check(CLI::PositiveNumber);
    app.add_flag("--no-cleanup", noCleanup);
    app.add_option("--only", only)->delimiter(',');
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        std::exit(app.exit(e));
    }
    o.cleanups = !noCleanup;
    if (!only.empty()) o.exports.reset();
    for (const std::string& name : only) {
        const int e = exportByName(name);
        // A run that calls less than asked must not pass for one that did.
        if (e < 0) std::exit(app.exit(CLI::ValidationError("--only", "no export " + name)));
        o.exports.set(static_cast<size_t>(e));
    }
    return o;
}

Paths writeFiles() {
    Paths p;
    p.wav = playtest::writeFile("stress/tone.wav",
                                playtest::wav(22050, 1, 16, playtest::sine16(22050, 5512, 440.0, 0.5)));
    p.midi = playtest::writeFile("stress/notes.mid", playtest::notes(4, 120));
    p.directory = playtest::writeFile("stress/directory/placeholder", {});
    p.directory = p.directory.substr(0, p.directory.rfind('/'));
    p.missing = testhost::scratchDir() + "/stress/no-such-file.wav";
    for (int i = 0; i < 4; ++i) p.written.push_back(testhost::scratchDir() + "/stress/written-" + std::to_string(i) + ".wav");
    return p;
}

struct Counts {
    tws_virtual_counts sound{};
    twm_control_counts music{};
};

Counts moduleCounts() {
    Counts c;
    testhost::virtualDriver().tws_virtual_live_counts(&c.sound);
    static auto* musicCounts = [] {
        const std::string path = testhost::libraryDir() + "/" + TWM_MODULE_FILE;
        void* module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        return module ? reinterpret_cast<decltype(&twm_control_live_counts)>(::dlsym(module, "twm_control_live_counts"))
                      : nullptr;
    }();
    if (musicCounts) musicCounts(&c.music);
    return c;
}

// No buffer of either kind is left once every task is gone (a sound object
// may be: the music engine's performance keeps its own for the process).
bool buffersGone(const Counts& c) { return c.sound.buffers == 0 && c.sound.capture_buffers == 0; }

std::string describe(const Counts& c) {
    char text[200];
    std::snprintf(text, sizeof text,
                  "sound module: %u sound, %u capture, %u buffer, %u capture buffer objects; music engine: %u "
                  "performances, %u segments, %u synths, %u plays, %u cached, %u threads",
                  c.sound.sounds, c.sound.captures, c.sound.buffers, c.sound.capture_buffers, c.music.performances,
                  c.music.segments, c.music.synths, c.music.plays, c.music.cached, c.music.threads);
    return text;
}

// The host's clean-up: now and then it runs some or all of the registered
// procedures, as when it tears down the host programs that made them.
void hostCleanups(Shared& shared, CallSlot& slot, const std::atomic<bool>& stop, uint64_t seed,
                  std::atomic<uint64_t>& calls) {
    Rng rng(seed);
    while (!stop.load()) {
        for (int wait = static_cast<int>(rng() % 30) + 2; wait > 0 && !stop.load(); --wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const bool all = rng() % 4 == 0;
        slot.begin("clean-up procedures", kNoRefnum);
        const std::vector<int32_t> results =
            testhost::runCleanups([&](const testhost::Registration&) { return all || rng() % 5 == 0; });
        slot.end();
        calls += results.size();
        for (int32_t r : results)
            if (!tw::err::isDocumented(r)) shared.problems.add("a clean-up procedure returned %d", r);
    }
}

class Run {
public:
    Run(Shared& shared, Watchdog& dog, const Options& o)
        : shared_(shared), dog_(dog), seed_(o.seed), cleanups_(o.cleanups) {
        for (int i = 0; i < o.threads; ++i)
            callers_.push_back(std::make_unique<Caller>(shared, dog.slot("caller " + std::to_string(i)),
                                                        o.seed * 1000 + static_cast<uint64_t>(i), o.exports,
                                                        o.cleanups));
    }

    // Calls for `seconds`, then clears everything. The host's clean-ups go on
    // until the callers are done: a read that only they end may still wait.
    void phase(double seconds) {
        std::atomic<bool> stopCalls{false};
        std::atomic<bool> stopCleanups{false};
        std::vector<std::thread> callers;
        for (auto& c : callers_) callers.emplace_back([&stopCalls, caller = c.get()] { caller->run(stopCalls); });
        std::thread cleanups;
        if (cleanups_)
            cleanups = std::thread(hostCleanups, std::ref(shared_), std::ref(cleanupSlot_), std::cref(stopCleanups),
                                   seed_ + phases_, std::ref(cleanupCalls_));
        ++phases_;
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        stopCalls.store(true);
        for (auto& t : callers) t.join();
        stopCleanups.store(true);
        if (cleanups.joinable()) cleanups.join();
        callers_.front()->clearEverything();
    }

    Tally tally() const {
        Tally total;
        for (const auto& c : callers_) total.add(c->tally());
        return total;
    }
    uint64_t cleanupCalls() const { return cleanupCalls_.load(); }

private:
    Shared& shared_;
    Watchdog& dog_;
    const uint64_t seed_;
    const bool cleanups_;
    std::vector<std::unique_ptr<Caller>> callers_;
    CallSlot& cleanupSlot_ = dog_.slot("host clean-up");
    std::atomic<uint64_t> cleanupCalls_{0};
    uint64_t phases_ = 0;
};

// Objects torn down asynchronously (the sound module's clock thread, the
// music engine's renderers) get a moment to go: until no buffer is left and
// the threads are down to `threadsAtMost`, or (-1) have stayed put for a
// while.
Resources settle(int threadsAtMost) {
    Resources r = measure();
    int steady = 0;
    for (int i = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const Resources next = measure();
        steady = next.threads == r.threads ? steady + 1 : 0;
        r = next;
        if (!buffersGone(moduleCounts())) continue;
        if (threadsAtMost >= 0 ? r.threads <= threadsAtMost : steady >= 3) break;
    }
    return r;
}

void printTally(const Tally& t) {
    std::printf("%-28s %9s  results (code:calls)\n", "export", "calls");
    for (int e = 0; e < kExportCount; ++e) {
        std::string line;
        for (size_t c = 0; c <= kCodeCount; ++c) {
            const uint64_t n = t.counts[static_cast<size_t>(e)][c];
            if (!n) continue;
            line += " " + (c < kCodeCount ? std::to_string(tw::err::kAllCodes[c]) : std::string("undocumented")) +
                    ":" + std::to_string(n);
        }
        std::printf("%-28s %9llu %s\n", exportName(e), static_cast<unsigned long long>(t.calls(e)), line.c_str());
    }
}

int stressMain(int argc, char** argv) {
    prepareHeapAccounting();
    const Options o = parse(argc, argv);
    const Resources atStart = measure();
    Watchdog dog(kHangSeconds);
    reportCrashes();

    const testhost::Library& lib = testhost::library();
    auto& driver = testhost::virtualDriver();
    if (!lib.loaded() || !driver.loaded()) {
        std::fprintf(stderr, "stress: FAILED: cannot load the library or the sound module (%s); set TONEWELL_LIB_DIR\n",
                     lib.error().c_str());
        return 1;
    }
    // Long runs keep no played sound.
    driver.tws_virtual_set_tap_limit(0);
    driver.tws_virtual_set_tap_dir("");
    Shared shared(lib.api(), writeFiles());
    Run run(shared, dog, o);

    const double warmup = std::min(15.0, std::max(2.0, o.seconds / 4));
    const double proper = std::max(1.0, o.seconds - warmup);
    std::printf("stress: %d threads, seed %llu, %.0f s warm-up then %.0f s; a call hangs after %.0f s%s\n", o.threads,
                static_cast<unsigned long long>(o.seed), warmup, proper, kHangSeconds,
                o.cleanups ? "" : "; no host clean-up");
    std::printf("stress: heap counted by %s\n", heapSource());
    std::fflush(stdout);

    run.phase(warmup);
    driver.tws_virtual_clear_taps();
    const Resources base = settle(-1);
    const Counts baseCounts = moduleCounts();
    run.phase(proper / 2);
    driver.tws_virtual_clear_taps();
    const Resources mid = settle(base.threads);
    run.phase(proper / 2);
    driver.tws_virtual_clear_taps();
    const Resources end = settle(base.threads);
    const Counts endCounts = moduleCounts();

    printTally(run.tally());
    std::printf("clean-up procedure calls: %llu\n", static_cast<unsigned long long>(run.cleanupCalls()));
    std::printf("at start:        %s\n", describe(atStart).c_str());
    std::printf("after warm-up:   %s\n", describe(base).c_str());
    std::printf("half-way:        %s\n", describe(mid).c_str());
    std::printf("at end:          %s\n", describe(end).c_str());
    std::printf("after warm-up:   %s\n", describe(baseCounts).c_str());
    std::printf("at end:          %s\n", describe(endCounts).c_str());

    Problems& problems = shared.problems;
    const Tally t = run.tally();
    for (int e = 0; e < kExportCount; ++e)
        if (o.exports.test(static_cast<size_t>(e)) && t.calls(e) == 0) problems.add("%s was never called", exportName(e));
    if (end.threads > base.threads) problems.add("%d threads more than after the warm-up", end.threads - base.threads);
    if (end.fds > base.fds) problems.add("%d file descriptors more than after the warm-up", end.fds - base.fds);
    if (end.heapBytes - mid.heapBytes > kHeapAllowance)
        problems.add("heap grew by %lld bytes over the second half (allowed %lld)",
                     static_cast<long long>(end.heapBytes - mid.heapBytes), static_cast<long long>(kHeapAllowance));
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
    // Sanitizers keep freed memory in quarantine and shadow; their RSS says little.
    if (end.rssBytes - mid.rssBytes > kRssAllowance)
        problems.add("resident memory grew by %lld bytes over the second half (allowed %lld)",
                     static_cast<long long>(end.rssBytes - mid.rssBytes), static_cast<long long>(kRssAllowance));
#endif
    const twm_control_counts& m0 = baseCounts.music;
    const twm_control_counts& m1 = endCounts.music;
    if (!buffersGone(endCounts) || endCounts.sound.sounds > baseCounts.sound.sounds ||
        endCounts.sound.captures > baseCounts.sound.captures || m1.segments > m0.segments || m1.synths > m0.synths ||
        m1.plays > m0.plays || m1.cached > m0.cached || m1.threads > m0.threads ||
        m1.performances > m0.performances || m1.loaders > m0.loaders)
        problems.add("the modules hold more than after the warm-up");
    if (const size_t left = testhost::registrationCount())
        problems.add("%zu clean-up registrations left after everything was cleared", left);

    if (problems.count()) {
        std::printf("stress: FAILED (%d problems; seed %llu)\n", problems.count(), static_cast<unsigned long long>(o.seed));
        return 1;
    }
    std::printf("stress: passed\n");
    return 0;
}

}  // namespace
}  // namespace stress

int main(int argc, char** argv) { return stress::stressMain(argc, argv); }
