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
#include <dirent.h>
#include <dlfcn.h>
#include <malloc.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <atomic>
#include <bitset>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/ErrorCodes.h"
#include "host/Library.h"
#include "host/VirtualDriver.h"
#include "playback/TestFiles.h"
#include "tonewell_music_control.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define STRESS_SANITIZER 1
// The sanitizer runtimes' own heap count (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace stress {
namespace {

using Rng = std::mt19937_64;
using testhost::ArrayPtr;

enum Export {
#define TW_EXPORT_FN(name) k##name,
#include "tonewell_exports.inc"
#undef TW_EXPORT_FN
    kExportCount
};
const char* const kExportNames[] = {
#define TW_EXPORT_FN(name) #name,
#include "tonewell_exports.inc"
#undef TW_EXPORT_FN
};
// Exports a run calls; with all of them the host's own moves as well (a
// refused resize, a clear of a refnum still in use).
using ExportSet = std::bitset<kExportCount>;

constexpr size_t kCodeCount = std::size(tw::err::kAllCodes);
// Never handed out: every call naming it must say so (4801), as for -1.
constexpr int32_t kNeverIssued = 0x7FFFFF00;
// Marks a call that names no object (configures, opens, device queries).
constexpr int32_t kNoRefnum = INT32_MIN;
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

std::atomic<int> gProblems{0};

__attribute__((format(printf, 1, 2))) void problem(const char* format, ...) {
    static std::mutex printing;
    const int n = ++gProblems;
    if (n > 40) return;
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    std::lock_guard lock(printing);
    std::fprintf(stderr, "STRESS FAILURE: %s\n%s", text,
                 n == 40 ? "STRESS FAILURE: (further problems are counted, not printed)\n" : "");
}

// ---- Hangs and crashes ------------------------------------------------------

int64_t nowNs() {
    return std::chrono::steady_clock::now().time_since_epoch() / std::chrono::nanoseconds(1);
}

// Every thread's stack to stderr, through gdb (a dependency of the build
// machines), which stops every thread while it walks them: it gets a minute.
void dumpAllStacks() {
    std::fprintf(stderr, "Stacks of every thread:\n");
    std::fflush(stderr);
    const std::string gdb = "timeout -s KILL 60 gdb -batch -nx -q -p " + std::to_string(::getpid()) +
                            " -ex 'set pagination off' -ex 'thread apply all bt' 1>&2 </dev/null"
                            " || echo '(no stacks from gdb)' 1>&2";
    if (std::system(gdb.c_str()) != 0) std::fprintf(stderr, "(no shell to run gdb)\n");
}

// Every thread that calls into the library owns a slot and marks each call in it.
struct CallSlot {
    explicit CallSlot(std::string l) : label(std::move(l)) {}
    void begin(const char* c, int32_t r) {
        tid.store(static_cast<pid_t>(::syscall(SYS_gettid)), std::memory_order_relaxed);  // new each phase
        refnum.store(r, std::memory_order_relaxed);
        sinceNs.store(nowNs(), std::memory_order_relaxed);
        call.store(c, std::memory_order_release);
    }
    void end() { call.store(nullptr, std::memory_order_release); }
    // The call in progress and its age; "" when none.
    std::string current(double& seconds) const {
        const char* c = call.load(std::memory_order_acquire);
        if (!c) return {};
        const int32_t r = refnum.load(std::memory_order_relaxed);
        seconds = static_cast<double>(nowNs() - sinceNs.load(std::memory_order_relaxed)) / 1e9;
        return c + (r == kNoRefnum ? std::string() : "(refnum " + std::to_string(r) + ")");
    }

    const std::string label;
    std::atomic<pid_t> tid{0};
    std::atomic<const char*> call{nullptr};
    std::atomic<int32_t> refnum{0};
    std::atomic<int64_t> sinceNs{0};
};

// Ends the run, with every thread's stack, once any call has been running
// longer than kHangSeconds.
class Watchdog {
public:
    Watchdog() {
        // Yama's restricted ptrace otherwise keeps our own gdb child out.
        ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
        thread_ = std::thread([this] {
            while (!stop_.load()) {
                ::usleep(200 * 1000);
                std::lock_guard lock(mutex_);
                for (const CallSlot& s : slots_) {
                    double seconds = 0;
                    const std::string call = s.current(seconds);
                    if (!call.empty() && seconds > kHangSeconds) fire(s, call, seconds);
                }
            }
        });
    }
    ~Watchdog() {
        stop_.store(true);
        thread_.join();
    }
    // A slot that lives as long as the watchdog.
    CallSlot& slot(const std::string& label) {
        std::lock_guard lock(mutex_);
        return slots_.emplace_back(label);
    }

private:
    [[noreturn]] void fire(const CallSlot& stuck, const std::string& call, double seconds) {
        std::fprintf(stderr,
                     "\nSTRESS FAILURE: %s has not returned from %s after %.1f s\nCalls in progress:\n",
                     stuck.label.c_str(), call.c_str(), seconds);
        for (const CallSlot& s : slots_) {
            const std::string c = s.current(seconds);
            if (!c.empty())
                std::fprintf(stderr, "  %-16s (tid %d) %s for %.1f s\n", s.label.c_str(), s.tid.load(),
                             c.c_str(), seconds);
        }
        dumpAllStacks();
        std::fprintf(stderr, "stress: FAILED (a call hung)\n");
        std::fflush(stderr);
        ::_exit(3);
    }

    std::mutex mutex_;
    std::deque<CallSlot> slots_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A crash (abort, bad access) prints every thread's stack before it ends
// the process.
void reportCrashes() {
#ifdef STRESS_SANITIZER
    const int signals[] = {SIGABRT};  // the sanitizers report the rest themselves, with the faulting stack
#else
    const int signals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL};
#endif
    for (int signal : signals) {
        struct sigaction sa {};
        sa.sa_handler = [](int s) {
            std::fprintf(stderr, "\nSTRESS FAILURE: the process received %s\n", strsignal(s));
            dumpAllStacks();
            std::fprintf(stderr, "stress: FAILED (crash)\n");
            std::fflush(stderr);
            ::raise(s);  // the default action now: the handler was reset
        };
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND;
        ::sigaction(signal, &sa, nullptr);
    }
}

// ---- What the process and the modules hold ---------------------------------

int countEntries(const char* path) {
    int n = 0;
    if (DIR* dir = ::opendir(path)) {
        while (dirent* e = ::readdir(dir)) n += e->d_name[0] != '.';
        ::closedir(dir);
    }
    return n;
}

struct Resources {
    int threads = countEntries("/proc/self/task");
    int fds = countEntries("/proc/self/fd") - 1;  // the directory being read
    int64_t heap = 0;                             // handed out by the allocator and not freed
    int64_t rss = 0;
};

Resources measure() {
    Resources r;
#ifdef STRESS_SANITIZER
    r.heap = static_cast<int64_t>(__sanitizer_get_current_allocated_bytes());
#else
    ::malloc_trim(0);
    const struct mallinfo2 mi = ::mallinfo2();
    r.heap = static_cast<int64_t>(mi.uordblks + mi.hblkhd);
#endif
    long pages = 0, resident = 0;
    std::ifstream("/proc/self/statm") >> pages >> resident;
    r.rss = static_cast<int64_t>(resident) * ::sysconf(_SC_PAGESIZE);
    return r;
}

// Objects the sound module and the music engine hold, by name.
constexpr int kHeldCount = 11;
const char* const kHeld[kHeldCount] = {"sounds",  "captures",     "buffers",       "capture buffers",
                                       "loaders", "performances", "segments",      "synths",
                                       "plays",   "cached",       "engine threads"};
using Held = std::array<uint32_t, kHeldCount>;

Held held() {
    tws_virtual_counts s{};
    twm_control_counts m{};
    testhost::virtualDriver().tws_virtual_live_counts(&s);
    static auto* musicCounts = [] {
        void* module =
            ::dlopen((testhost::libraryDir() + "/" + TWM_MODULE_FILE).c_str(), RTLD_NOW | RTLD_LOCAL);
        return module ? reinterpret_cast<decltype(&twm_control_live_counts)>(
                            ::dlsym(module, "twm_control_live_counts"))
                      : nullptr;
    }();
    if (musicCounts) musicCounts(&m);
    return {s.sounds,   s.captures, s.buffers, s.capture_buffers, m.loaders, m.performances,
            m.segments, m.synths,   m.plays,   m.cached,          m.threads};
}

std::string describe(const Resources& r, const Held* h = nullptr) {
    char text[160];
    std::snprintf(text, sizeof text, "threads %d, fds %d, heap %.1f KiB, RSS %.1f MiB", r.threads, r.fds,
                  static_cast<double>(r.heap) / 1024.0, static_cast<double>(r.rss) / 1048576.0);
    std::string s = text;
    for (int i = 0; h && i < kHeldCount; ++i)
        s += (i ? ", " : "; ") + std::to_string((*h)[i]) + " " + kHeld[i];
    return s;
}

// ---- Shared state -----------------------------------------------------------

// The refnums of one registry that the threads share. A thread that makes
// an object puts it in a slot and clears the object it displaces.
struct RefnumPool {
    static constexpr size_t kSlots = 8;
    RefnumPool(const char* n, Export e, int32_t (*c)(TaskRefnum)) : name(n), clearExport(e), clear(c) {
        for (auto& s : slots) s.store(-1);
    }
    // A slot's refnum (-1 when empty), now and then one never handed out.
    int32_t pick(Rng& rng) const { return rng() % 20 == 0 ? kNeverIssued : slots[rng() % kSlots].load(); }
    // Puts `refnum` in a random slot (-1 empties one); returns the refnum it displaced or -1.
    int32_t put(Rng& rng, int32_t refnum) { return slots[rng() % kSlots].exchange(refnum); }
    // Records a refnum handed out; false when it was handed out before.
    bool issue(int32_t refnum) {
        std::lock_guard lock(mutex);
        const auto at = static_cast<size_t>(refnum);
        if (at >= issued.size()) issued.resize(at + 1024);
        return !issued[at] && (issued[at] = true);
    }

    const char* name;
    const Export clearExport;
    int32_t (*const clear)(TaskRefnum);
    std::array<std::atomic<int32_t>, kSlots> slots{};
    std::mutex mutex;
    // Room for a long run's refnums from the start, so the heap figure of the
    // run's end is not inflated by the record itself.
    std::vector<bool> issued = std::vector<bool>(size_t{1} << 20);
};

struct Paths {
    std::string wav;                   // a small valid WAV
    std::string midi;                  // a small Standard MIDI File
    std::string missing;               // no such file
    std::string directory;             // a directory
    std::vector<std::string> written;  // what the writers write (and readers read)
};

struct Shared {
    const testhost::Exports& api;
    const Paths paths;
    void* const mainProgram = ::dlopen(nullptr, RTLD_NOW);  // the host module the library may be told about
    RefnumPool outputs{"output", kSOClear, api.SOClear};
    RefnumPool inputs{"input", kSIClear, api.SIClear};
    RefnumPool files{"file", kSoundFileClose, api.SoundFileClose};
};

// ---- One calling thread -----------------------------------------------------

// Results per export; the last column counts codes the library does not
// document. Fixed size, so counting allocates nothing.
using Tally = std::array<std::array<uint64_t, kCodeCount + 1>, kExportCount>;

size_t codeIndex(int32_t code) {
    return static_cast<size_t>(std::find(std::begin(tw::err::kAllCodes), std::end(tw::err::kAllCodes), code) -
                               std::begin(tw::err::kAllCodes));
}

const int32_t kChannels[] = {1, 2, 2}, kBits[] = {16, 16, 8, 24, 32};

// Calls export `name` on `refnum` with the arguments that follow, through Caller::call.
#define CALL(name, refnum, ...) call(k##name, refnum, [&] { return api.name(__VA_ARGS__); })

struct Caller {
    Shared& sh;
    const testhost::Exports& api;
    CallSlot& slot;
    Rng rng;
    const ExportSet exports;
    // A read of 0 samples without time-out ends only when its capture stops
    // or is cleaned up: without the host's clean-up nothing may end it.
    const bool unlimitedEmptyReads;
    Tally tally{};

    // Runs one export; checks that the result is documented and, for a refnum
    // that names nothing, that it is `unknownResult`.
    template <typename F>
    int32_t call(Export e, int32_t refnum, F&& f, int32_t unknownResult = TW_E_BAD_REFNUM) {
        slot.begin(kExportNames[e], refnum);
        const int32_t result = f();
        slot.end();
        ++tally[e][codeIndex(result)];
        if (!tw::err::isDocumented(result))
            problem("%s(refnum %d) returned %d, a code the library does not document", kExportNames[e],
                    refnum, result);
        else if ((refnum == -1 || refnum == kNeverIssued) && result != unknownResult)
            problem("%s(refnum %d), which names nothing, returned %d instead of %d", kExportNames[e], refnum,
                    result, unknownResult);
        return result;
    }
    // A configure or open left `result` and `refnum`: keep the object.
    void made(RefnumPool& pool, Export e, int32_t result, int32_t refnum) {
        if (result > 0 ? refnum != -1 : refnum < 0) {
            problem("%s returned %d and handed out refnum %d", kExportNames[e], result, refnum);
        } else if (result <= 0) {
            if (!pool.issue(refnum))
                problem("%s handed out %s refnum %d twice", kExportNames[e], pool.name, refnum);
            clear(pool, pool.put(rng, refnum));
        }
    }
    void clear(RefnumPool& pool, int32_t refnum) {
        if (refnum >= 0) call(pool.clearExport, refnum, [&] { return pool.clear(refnum); });
    }
    // Clears every refnum the pools hold, then checks that nothing the run
    // made is still registered.
    void clearEverything() {
        for (RefnumPool* pool : {&sh.outputs, &sh.inputs, &sh.files}) {
            for (auto& s : pool->slots) clear(*pool, s.exchange(-1));
            std::lock_guard lock(pool->mutex);
            for (size_t i = 0; i < pool->issued.size(); ++i) {
                const auto refnum = static_cast<int32_t>(i);
                if (!pool->issued[i]) continue;
                if (const int32_t r = pool->clear(refnum); r != TW_E_BAD_REFNUM)
                    problem("%s refnum %d still cleared with %d after the run had cleared everything",
                            pool->name, refnum, r);
            }
        }
    }
    // What the library wrote into a host block fits it: an array's stated
    // size (`elementSize` bytes each, after `header` bytes), a text's length.
    void checkBlock(Export e, const void* block, size_t header, size_t count, size_t elementSize) {
        if (header + count * elementSize > testhost::blockSize(block))
            problem("%s left %zu elements of %zu bytes in a block of %zu bytes", kExportNames[e], count,
                    elementSize, testhost::blockSize(block));
    }
    void checkArray(Export e, TwArrayHandle data, uint16_t type) {
        const int32_t r = testhost::rows(data), c = testhost::cols(data);
        if (r < 0 || c < 0) problem("%s left a %d x %d array", kExportNames[e], r, c);
        checkBlock(e, data, 8, size_t(std::max(r, 0)) * size_t(std::max(c, 0)),
                   size_t(testhost::elementSize(type)));
    }

    // ---- Argument makers ----
    bool chance(unsigned percent) { return rng() % 100 < percent; }
    template <typename T, size_t N>
    T any(const T (&values)[N]) {
        return values[rng() % N];
    }
    template <typename T>
    const T& any(const std::vector<T>& values) {
        return values[rng() % values.size()];
    }
    uint16_t sampleType() {
        static const uint16_t kSampleTypes[] = {TW_TYPE_I16, TW_TYPE_I16, TW_TYPE_I32,
                                                TW_TYPE_U8,  TW_TYPE_F32, TW_TYPE_F64};
        static const uint16_t kOtherTypes[] = {TW_TYPE_I64, 0, 11};
        return chance(90) ? any(kSampleTypes) : any(kOtherTypes);
    }
    double timeout() {
        static const double kTimeouts[] = {-1.0, 0.0, 0.02, 0.2, 1.0};
        return any(kTimeouts);
    }
    // Mostly noise: whatever bits, NaNs and infinities included for the float
    // types. The library must take any host data.
    ArrayPtr samples(uint16_t type, int32_t rows, int32_t cols) {
        auto array = testhost::makeArray2D(type, rows, cols);
        uint8_t* p = reinterpret_cast<uint8_t*>(*array.get()) + 8;
        for (uint64_t i = 0, n = chance(70) ? uint64_t(rows) * cols * testhost::elementSize(type) : 0,
                      x = rng() | 1;
             i < n; ++i) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            p[i] = static_cast<uint8_t>(x);
        }
        return array;
    }
    int32_t output() { return sh.outputs.pick(rng); }
    int32_t input() { return sh.inputs.pick(rng); }
    int32_t file() { return sh.files.pick(rng); }
    // A refnum of either kind of task; `isInput` says which.
    int32_t anyTask(uint8_t& isInput) { return (isInput = chance(40) ? 1 : 0) ? input() : output(); }
    const std::string& anyPath() { return any(sh.paths.written); }
    // The exports that take a refnum alone, or a refnum and a count the library writes.
    void byRefnum(Export e, int32_t refnum, int32_t (*f)(TaskRefnum)) {
        call(e, refnum, [&] { return f(refnum); });
    }
    void byRefnum(Export e, int32_t refnum, int32_t (*f)(TaskRefnum, int32_t*)) {
        int32_t count = -7;
        call(e, refnum, [&] { return f(refnum, &count); });
    }

    // ---- The actions ----
    // A task of either kind, from values its devices take; now and then one
    // argument the library has to refuse (or take): a too-small ring, a rate
    // and a channel count it may refuse (a capture at an odd rate or width
    // would be taken and run, so only 0 there).
    void configure(bool in) {
        static const std::vector<int32_t> kDevices[] = {{0, 0, 0, 1}, {0, 0, 1}};
        static const std::vector<int32_t> kBuffers[] = {{256, 1024, 4096, 16384}, {512, 2048, 8192}};
        static const std::vector<double> kRates[] = {{8000, 22050, 44100, 48000, 96000},
                                                     {8000, 22050, 44100, 48000}};
        static const int32_t kModes[] = {TW_MODE_CONTINUOUS, TW_MODE_CONTINUOUS, TW_MODE_ONE_SHOT};
        int32_t device = any(kDevices[in]), buffer = any(kBuffers[in]), channels = any(kChannels);
        int32_t bits = any(kBits), mode = in ? (chance(70) ? 1 : 0) : any(kModes), refnum = -1;
        double rate = any(kRates[in]);
        switch (rng() % 40) {
            case 0: device = chance(50) ? 2 : -1; break;
            case 1: buffer = chance(50) ? (in ? 4 : 3) : 0; break;
            case 2: rate = chance(50) || in ? 0 : 1e7; break;
            case 3: channels = chance(50) || in ? 0 : 3; break;
            case 4: bits = chance(50) ? 0 : 12; break;
            case 5: mode = 2; break;
            case 6:
                // Counts that do not fit the format record, on a ring small
                // enough to survive a library that takes them.
                buffer = 4;
                (chance(50) ? channels : bits) = 65537;
                break;
            default: break;
        }
        const Export e = in ? kSIConfigure : kSOConfigure;
        const auto configureTask = in ? api.SIConfigure : api.SOConfigure;
        const int32_t r = call(e, kNoRefnum, [&] {
            return configureTask(device, buffer, &rate, &channels, &bits, mode, &refnum);
        });
        made(in ? sh.inputs : sh.outputs, e, r, refnum);
    }
    void soWrite() {
        static const int32_t kCols[] = {0, 1, 64, 512, 2048, 4096};
        const int32_t refnum = output();
        const uint16_t type = sampleType();
        auto data = samples(type, static_cast<int32_t>(chance(90) ? 1 + rng() % 2 : rng() % 4), any(kCols));
        CALL(SOWrite, refnum, refnum, data.get(), timeout(), type);
    }
    void soWait() {
        // An unlimited wait only now and then: other threads may keep the
        // task fed for a while.
        const int32_t refnum = output();
        CALL(SOWait, refnum, refnum, chance(10) ? -1.0 : timeout() < 0 ? 0.5 : 0.1);
    }
    void soVolume() {
        static const int32_t kVolumes[] = {0, 50, 100, 100, -10, 1000};
        const int32_t refnum = output();
        const bool none = chance(10);  // no volumes: refused whatever the refnum
        auto volumes = none ? testhost::makeInt32Array({}) : testhost::makeInt32Array({any(kVolumes), 7});
        const int32_t r = call(
            kSOVolume, refnum, [&] { return api.SOVolume(refnum, volumes.get()); },
            none ? TW_E_ARGUMENT : TW_E_BAD_REFNUM);
        if (none && r != TW_E_ARGUMENT) problem("SOVolume(refnum %d) of no volumes returned %d", refnum, r);
    }
    void soInfo() {
        const int32_t refnum = output();
        auto volumes = testhost::makeInt32Array({});
        uint8_t flag = 7;
        if (CALL(SOInfo, refnum, refnum, volumes.get(), &flag) != 0) return;
        const int32_t count = *reinterpret_cast<const int32_t*>(*volumes.get());
        if (flag != 0 || count < 0)
            problem("SOInfo(refnum %d) left flag %u and %d volumes", refnum, flag, count);
        checkBlock(kSOInfo, volumes.get(), 4, size_t(std::max(count, 0)), 4);
    }
    void playSoundFile() {
        static const int32_t kDevices[] = {0, 0, 0, 1, 5};
        const Paths& p = sh.paths;
        const auto which = rng() % 20;  // 0: no path at all
        auto text = testhost::makeString(which < 10   ? p.midi
                                         : which < 17 ? p.wav
                                         : which < 19 ? p.missing
                                                      : p.directory);
        int32_t refnum = -1;
        const int32_t r = CALL(PlaySoundFile, kNoRefnum, any(kDevices), which ? text.get() : nullptr,
                               chance(10) ? 5 : 0, &refnum);
        if (which)
            made(sh.outputs, kPlaySoundFile, r, refnum);
        else if (r != TW_E_PATH || refnum != -1)
            problem("PlaySoundFile without a path returned %d and refnum %d", r, refnum);
    }
    void siRead() {
        static const int32_t kCounts[] = {0, 1, 100, 1024, 4096, -1};
        const int32_t refnum = input(), count = any(kCounts);
        const uint16_t type = sampleType();
        auto data = samples(type, static_cast<int32_t>(rng() % 3), static_cast<int32_t>(rng() % 300));
        int32_t total = -7;
        double t = timeout();
        if (count == 0 && t < 0 && !unlimitedEmptyReads) t = 0.2;
        // A negative count is refused before the refnum matters.
        const int32_t r = call(
            kSIRead, refnum, [&] { return api.SIRead(refnum, data.get(), count, &total, t, type); },
            count < 0 ? TW_E_DEVICE : TW_E_BAD_REFNUM);
        if (count < 0 ? r != TW_E_DEVICE : total < 0)
            problem("SIRead(refnum %d) of %d samples returned %d and reported %d read", refnum, count, r,
                    total);
        checkArray(kSIRead, data.get(), type);
    }
    void getConfFormat() {
        uint8_t in = 0;
        const int32_t refnum = anyTask(in);
        double rate = 0;
        int32_t channels = 0, bits = 0;
        uint16_t type = 0;
        CALL(GetConfFormat, refnum, refnum, &in, &rate, &channels, &bits, &type);
    }
    void getConfState() {
        uint8_t in = 0, running = 7, continuous = 7;
        const int32_t refnum = anyTask(in);
        CALL(GetConfState, refnum, refnum, &in, &running, &continuous);
        if (running > 1 || continuous > 1)
            problem("GetConfState(refnum %d) wrote flags %u and %u", refnum, running, continuous);
    }
    void getStateDesc() {
        uint8_t in = 0;
        const int32_t refnum = anyTask(in);
        auto text = testhost::makeString("");
        if (CALL(GetStateDesc, refnum, refnum, &in, text.get()) != 0) return;
        const int32_t length = (*text.get())->length;
        if (length <= 0 || length > 255)
            problem("GetStateDesc(refnum %d) wrote a text of %d bytes", refnum, length);
        checkBlock(kGetStateDesc, text.get(), 4, size_t(std::max(length, 0)), 1);
    }
    void soundNumDevices() {
        uint8_t in = chance(50) ? 1 : 0;
        int32_t count = -1;
        const int32_t r = CALL(SoundNumDevices, kNoRefnum, &in, &count);
        if (r != 0 || count < 0) problem("SoundNumDevices returned %d and wrote %d", r, count);
    }
    void soundDeviceInfo() {
        uint8_t in = chance(50) ? 1 : 0;
        auto channels = testhost::makeInt32Array({}), bits = testhost::makeInt32Array({});
        auto name = testhost::makeString("");
        double minRate = 0, maxRate = 0;
        CALL(SoundDeviceInfo, kNoRefnum, static_cast<int32_t>(rng() % 5) - 1, &in, channels.get(), bits.get(),
             &minRate, &maxRate, name.get());
    }
    void readFileOpen() {
        const Paths& p = sh.paths;
        const auto which = rng() % 20;
        auto text = testhost::makeString(which < 10   ? p.wav
                                         : which < 15 ? anyPath()
                                         : which < 16 ? p.midi
                                         : which < 17 ? p.missing
                                         : which < 18 ? p.directory
                                                      : std::string());
        int32_t refnum = -1;
        const int32_t r = CALL(SoundReadFileOpen, kNoRefnum, text.get(), &refnum);
        made(sh.files, kSoundReadFileOpen, r, refnum);
    }
    void readFileData() {
        static const int32_t kModes[] = {0, 1, 2, 2, 2, 3}, kOffsets[] = {0, 0, 100, -100, 1 << 30};
        static const int32_t kCounts[] = {-1, 0, 1, 256, 4096};
        const int32_t refnum = file(), mode = any(kModes), offset = any(kOffsets), count = any(kCounts);
        const uint16_t type = sampleType();
        auto data = testhost::makeArray2D(type, 0, 0);
        int32_t read = -7;
        uint8_t atEnd = 7;
        CALL(SoundReadFileData, refnum, refnum, mode, offset, count, type, 0, data.get(), &read, &atEnd);
        checkArray(kSoundReadFileData, data.get(), type);
        if (read < 0 || (atEnd != 7 && atEnd > 1))
            problem("SoundReadFileData(refnum %d) wrote %d frames read and end flag %u", refnum, read, atEnd);
    }
    void fileInfoRef() {
        const int32_t refnum = file();
        double rate = 0, duration = 0;
        int32_t channels = 0, bits = 0, total = 0;
        CALL(SoundFileInfoRef, refnum, refnum, 0, &rate, &channels, &bits, &duration, &total);
    }
    void writeFileOpen() {
        static const double kRates[] = {8000, 44100, 44100};
        std::string path = anyPath();
        double rate = any(kRates);
        int32_t channels = any(kChannels), bits = any(kBits), refnum = -1;
        switch (rng() % 30) {
            case 0: path = sh.paths.directory; break;
            case 1: rate = chance(50) ? 0 : -1; break;
            case 2: channels = chance(50) ? 0 : 70000; break;
            case 3: bits = chance(50) ? 0 : 12; break;
            default: break;
        }
        auto text = testhost::makeString(path);
        const int32_t r = CALL(SoundWriteFileOpen, kNoRefnum, text.get(), &refnum, rate, channels, bits);
        made(sh.files, kSoundWriteFileOpen, r, refnum);
    }
    void writeFileData() {
        static const int32_t kCols[] = {0, 64, 1024};
        const int32_t refnum = file();
        const uint16_t type = sampleType();
        auto data = samples(type, 1 + static_cast<int32_t>(rng() % 2), any(kCols));
        int32_t written = -7;
        CALL(SoundWriteFileData, refnum, refnum, data.get(), &written, type);
    }
    // The host's own moves: it tells the library where its run-time is,
    // refuses a resize (whoever asks next), or one of its programs clears a
    // refnum another part of it still uses.
    void setRuntimeModule() {
        void* module = chance(50) ? sh.mainProgram : nullptr;
        call(kSetVantorRTModule, kNoRefnum, [&] { return api.SetVantorRTModule(module), 0; });
    }
    void staleClear() {
        RefnumPool* pools[] = {&sh.outputs, &sh.inputs, &sh.files};
        RefnumPool& pool = *pools[rng() % 3];
        if (const int32_t refnum = pool.pick(rng); refnum != kNeverIssued) clear(pool, refnum);
    }
};

struct Action {
    int weight;    // per thousand, roughly as a busy host program mixes its calls
    int exported;  // the export it calls; kExportCount for the host's own moves
    void (*run)(Caller&);
};
const Action kActions[] = {
    {40, kSOConfigure, [](Caller& c) { c.configure(false); }},
    {70, kSOWrite, [](Caller& c) { c.soWrite(); }},
    {25, kSOStart, [](Caller& c) { c.byRefnum(kSOStart, c.output(), c.api.SOStart); }},
    {25, kSOStop, [](Caller& c) { c.byRefnum(kSOStop, c.output(), c.api.SOStop); }},
    {20, kSOPause, [](Caller& c) { c.byRefnum(kSOPause, c.output(), c.api.SOPause); }},
    {35, kSOWait, [](Caller& c) { c.soWait(); }},
    {20, kSOVolume, [](Caller& c) { c.soVolume(); }},
    {20, kSOInfo, [](Caller& c) { c.soInfo(); }},
    {20, kSOClear, [](Caller& c) { c.clear(c.sh.outputs, c.sh.outputs.put(c.rng, -1)); }},
    {20, kPlaySoundFile, [](Caller& c) { c.playSoundFile(); }},
    {35, kSIConfigure, [](Caller& c) { c.configure(true); }},
    {80, kSIRead, [](Caller& c) { c.siRead(); }},
    {25, kSIStart, [](Caller& c) { c.byRefnum(kSIStart, c.input(), c.api.SIStart); }},
    {25, kSIStop, [](Caller& c) { c.byRefnum(kSIStop, c.input(), c.api.SIStop); }},
    {20, kSIClear, [](Caller& c) { c.clear(c.sh.inputs, c.sh.inputs.put(c.rng, -1)); }},
    {25, kGetConfFormat, [](Caller& c) { c.getConfFormat(); }},
    {25, kGetConfState, [](Caller& c) { c.getConfState(); }},
    {25, kGetStateDesc, [](Caller& c) { c.getStateDesc(); }},
    {20, kSoundNumDevices, [](Caller& c) { c.soundNumDevices(); }},
    {25, kSoundDeviceInfo, [](Caller& c) { c.soundDeviceInfo(); }},
    {30, kSoundReadFileOpen, [](Caller& c) { c.readFileOpen(); }},
    {50, kSoundReadFileData, [](Caller& c) { c.readFileData(); }},
    {20, kSoundReadFileSamplesRead,
     [](Caller& c) { c.byRefnum(kSoundReadFileSamplesRead, c.file(), c.api.SoundReadFileSamplesRead); }},
    {20, kSoundFileInfoRef, [](Caller& c) { c.fileInfoRef(); }},
    {30, kSoundWriteFileOpen, [](Caller& c) { c.writeFileOpen(); }},
    {50, kSoundWriteFileData, [](Caller& c) { c.writeFileData(); }},
    {20, kSoundWriteFileSamplesWritten,
     [](Caller& c) {
         c.byRefnum(kSoundWriteFileSamplesWritten, c.file(), c.api.SoundWriteFileSamplesWritten);
     }},
    {25, kSoundFileClose, [](Caller& c) { c.clear(c.sh.files, c.sh.files.put(c.rng, -1)); }},
    {2, kSetVantorRTModule, [](Caller& c) { c.setRuntimeModule(); }},
    {3, kExportCount, [](Caller&) { testhost::failNextResizes(1, TW_E_NO_MEMORY); }},
    {5, kExportCount, [](Caller& c) { c.staleClear(); }},
};

void runCaller(Caller& c, const std::atomic<bool>& stop) {
    auto weight = [&c](const Action& a) {
        return (a.exported < kExportCount ? c.exports.test(static_cast<size_t>(a.exported)) : c.exports.all())
                   ? a.weight
                   : 0;
    };
    int total = 0;
    for (const Action& a : kActions) total += weight(a);
    while (total > 0 && !stop.load(std::memory_order_relaxed)) {
        int n = static_cast<int>(c.rng() % static_cast<uint64_t>(total));
        const Action* a = kActions;
        while (n >= weight(*a)) n -= weight(*a++);
        a->run(c);
    }
}

// ---- The run ----------------------------------------------------------------

struct Options {
    double seconds = 10;
    uint64_t seed = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    int threads = 16;
    bool cleanups = true;
    ExportSet exports = ExportSet().set();
};

Options parse(int argc, char** argv) {
    Options o;
    if (const char* s = std::getenv("TONEWELL_STRESS_SECONDS")) o.seconds = std::atof(s);
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
        const auto e =
            std::find(std::begin(kExportNames), std::end(kExportNames), name) - std::begin(kExportNames);
        // A run that calls less than asked must not pass for one that did.
        if (e == kExportCount) std::exit(app.exit(CLI::ValidationError("--only", "no export " + name)));
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
    for (int i = 0; i < 4; ++i)
        p.written.push_back(testhost::scratchDir() + "/stress/written-" + std::to_string(i) + ".wav");
    return p;
}

// The host's clean-up: now and then it runs some or all of the registered
// procedures, as when it tears down the host programs that made them.
void hostCleanups(CallSlot& slot, const std::atomic<bool>& stop, uint64_t seed,
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
            if (!tw::err::isDocumented(r)) problem("a clean-up procedure returned %d", r);
    }
}

// Objects torn down asynchronously (the sound module's clock thread, the
// music engine's renderers) get a moment to go: until no buffer is left and
// the threads are down to `threadsAtMost`, or (-1) have stayed put for a
// while.
Resources settle(int threadsAtMost) {
    Resources r = measure();
    for (int i = 0, steady = 0; i < 100; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const Resources next = measure();
        steady = next.threads == r.threads ? steady + 1 : 0;
        r = next;
        const Held h = held();
        if (h[2] == 0 && h[3] == 0 && (threadsAtMost >= 0 ? r.threads <= threadsAtMost : steady >= 3)) break;
    }
    return r;
}

int stressMain(int argc, char** argv) {
#ifndef STRESS_SANITIZER
    // mallinfo2 reports the main arena only: one arena for all threads.
    ::mallopt(M_ARENA_MAX, 1);
#endif
    const Options o = parse(argc, argv);
    const Resources atStart = measure();
    Watchdog dog;
    reportCrashes();

    const testhost::Library& lib = testhost::library();
    auto& driver = testhost::virtualDriver();
    if (!lib.loaded() || !driver.loaded()) {
        std::fprintf(
            stderr,
            "stress: FAILED: cannot load the library or the sound module (%s); set TONEWELL_LIB_DIR\n",
            lib.error().c_str());
        return 1;
    }
    // Long runs keep no played sound.
    driver.tws_virtual_set_tap_limit(0);
    driver.tws_virtual_set_tap_dir("");
    Shared shared{lib.api(), writeFiles()};
    std::vector<std::unique_ptr<Caller>> callers;
    for (int i = 0; i < o.threads; ++i)
        callers.push_back(std::unique_ptr<Caller>(
            new Caller{shared, shared.api, dog.slot("caller " + std::to_string(i)),
                       Rng(o.seed * 1000 + static_cast<uint64_t>(i)), o.exports, o.cleanups}));
    CallSlot& cleanupSlot = dog.slot("host clean-up");
    std::atomic<uint64_t> cleanupCalls{0};
    uint64_t phases = 0;
    // Calls for `seconds`, then clears everything. The host's clean-ups go on
    // until the callers are done: a read that only they end may still wait.
    auto phase = [&](double seconds) {
        std::atomic<bool> stopCalls{false}, stopCleanups{false};
        std::vector<std::thread> threads;
        for (auto& c : callers) threads.emplace_back([&stopCalls, c = c.get()] { runCaller(*c, stopCalls); });
        std::thread cleanups;
        if (o.cleanups)
            cleanups = std::thread(hostCleanups, std::ref(cleanupSlot), std::cref(stopCleanups),
                                   o.seed + phases, std::ref(cleanupCalls));
        ++phases;
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        stopCalls.store(true);
        for (auto& t : threads) t.join();
        stopCleanups.store(true);
        if (cleanups.joinable()) cleanups.join();
        callers.front()->clearEverything();
        driver.tws_virtual_clear_taps();
    };

    const double warmup = std::min(15.0, std::max(2.0, o.seconds / 4));
    const double proper = std::max(1.0, o.seconds - warmup);
    std::printf("stress: %d threads, seed %llu, %.0f s warm-up then %.0f s; a call hangs after %.0f s%s\n",
                o.threads, static_cast<unsigned long long>(o.seed), warmup, proper, kHangSeconds,
                o.cleanups ? "" : "; no host clean-up");
#ifdef STRESS_SANITIZER
    std::printf("stress: heap counted by the sanitizer allocator\n");
#else
    std::printf("stress: heap counted by mallinfo2, one arena\n");
#endif
    std::fflush(stdout);

    phase(warmup);
    const Resources base = settle(-1);
    const Held baseHeld = held();
    phase(proper / 2);
    const Resources mid = settle(base.threads);
    const Held midHeld = held();
    phase(proper / 2);
    const Resources end = settle(base.threads);
    const Held endHeld = held();

    Tally t{};
    for (const auto& c : callers)
        for (size_t e = 0; e < t.size(); ++e)
            for (size_t code = 0; code <= kCodeCount; ++code) t[e][code] += c->tally[e][code];
    std::printf("%-28s %9s  results (code:calls)\n", "export", "calls");
    for (size_t e = 0; e < kExportCount; ++e) {
        std::string line;
        uint64_t calls = 0;
        for (size_t code = 0; code <= kCodeCount; ++code) {
            if (!t[e][code]) continue;
            calls += t[e][code];
            line += " " + (code < kCodeCount ? std::to_string(tw::err::kAllCodes[code]) : "undocumented") +
                    ":" + std::to_string(t[e][code]);
        }
        std::printf("%-28s %9llu %s\n", kExportNames[e], static_cast<unsigned long long>(calls),
                    line.c_str());
        if (o.exports.test(e) && calls == 0) problem("%s was never called", kExportNames[e]);
    }
    std::printf("clean-up procedure calls: %llu\n", static_cast<unsigned long long>(cleanupCalls.load()));
    std::printf("at start:       %s\n", describe(atStart).c_str());
    std::printf("after warm-up:  %s\n", describe(base, &baseHeld).c_str());
    std::printf("half-way:       %s\n", describe(mid, &midHeld).c_str());
    std::printf("at end:         %s\n", describe(end, &endHeld).c_str());

    if (end.threads > base.threads)
        problem("%d threads more than after the warm-up", end.threads - base.threads);
    if (end.fds > base.fds) problem("%d file descriptors more than after the warm-up", end.fds - base.fds);
    if (end.heap - mid.heap > kHeapAllowance)
        problem("heap grew by %lld bytes over the second half (allowed %lld)",
                static_cast<long long>(end.heap - mid.heap), static_cast<long long>(kHeapAllowance));
#ifndef STRESS_SANITIZER
    // Sanitizers keep freed memory in quarantine and shadow; their RSS says little.
    if (end.rss - mid.rss > kRssAllowance)
        problem("resident memory grew by %lld bytes over the second half (allowed %lld)",
                static_cast<long long>(end.rss - mid.rss), static_cast<long long>(kRssAllowance));
#endif
    // No buffer of either kind is left once every task is gone; a sound
    // object may be (the music engine's performance keeps its own for the
    // process), but no more than after the warm-up.
    for (int i = 0; i < kHeldCount; ++i)
        if (endHeld[i] > ((i == 2 || i == 3) ? 0 : baseHeld[i]))
            problem("the modules hold %u %s, after the warm-up %u", endHeld[i], kHeld[i], baseHeld[i]);
    if (const size_t left = testhost::registrationCount())
        problem("%zu clean-up registrations left after everything was cleared", left);

    if (gProblems) {
        std::printf("stress: FAILED (%d problems; seed %llu)\n", gProblems.load(),
                    static_cast<unsigned long long>(o.seed));
        return 1;
    }
    std::printf("stress: passed\n");
    return 0;
}

}  // namespace
}  // namespace stress

int main(int argc, char** argv) {
    return stress::stressMain(argc, argv);
}
