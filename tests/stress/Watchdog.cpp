#include "Watchdog.h"

#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace stress {

namespace {

int64_t monotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

// Every thread's stack to stderr, through gdb (a dependency of the build
// machines).
void dumpAllStacks() {
    std::fprintf(stderr, "Stacks of every thread:\n");
    std::fflush(stderr);
    const std::string pid = std::to_string(::getpid());
    const char* argv[] = {"gdb",  "-batch",
                          "-nx",  "-q",
                          "-p",   pid.c_str(),
                          "-ex",  "set pagination off",
                          "-ex",  "thread apply all bt",
                          nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    pid_t child = 0;
    const int spawned = posix_spawnp(&child, "gdb", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::fprintf(stderr, "(no gdb to print them)\n");
        return;
    }
    // gdb stops every thread while it walks them; give it a minute.
    for (int i = 0; i < 600; ++i) {
        int status = 0;
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) return;
        ::usleep(100 * 1000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
}

}  // namespace

void CallSlot::begin(const char* call, int32_t refnum) {
    // Each phase runs on new threads.
    tid_.store(static_cast<pid_t>(::syscall(SYS_gettid)), std::memory_order_relaxed);
    refnum_.store(refnum, std::memory_order_relaxed);
    sinceNs_.store(monotonicNs(), std::memory_order_relaxed);
    call_.store(call, std::memory_order_release);
}

const char* CallSlot::current(int32_t& refnum, double& seconds) const {
    const char* call = call_.load(std::memory_order_acquire);
    if (!call) return nullptr;
    refnum = refnum_.load(std::memory_order_relaxed);
    seconds = static_cast<double>(monotonicNs() - sinceNs_.load(std::memory_order_relaxed)) / 1e9;
    return call;
}

Watchdog::Watchdog(double limitSeconds) : limitSeconds_(limitSeconds) {
    // Yama's restricted ptrace otherwise keeps our own gdb child out.
    ::prctl(PR_SET_PTRACER, PR_SET_PTRACER_ANY, 0, 0, 0);
    thread_ = std::thread(&Watchdog::run, this);
}

Watchdog::~Watchdog() {
    stop_.store(true);
    thread_.join();
}

CallSlot& Watchdog::slot(const std::string& label) {
    std::lock_guard lock(mutex_);
    return slots_.emplace_back(label);
}

void Watchdog::run() {
    while (!stop_.load()) {
        ::usleep(200 * 1000);
        std::lock_guard lock(mutex_);
        for (const CallSlot& s : slots_) {
            int32_t refnum = 0;
            double seconds = 0;
            if (s.current(refnum, seconds) && seconds > limitSeconds_) fire(s);
        }
    }
}

namespace {
std::string refnumText(int32_t refnum) {
    return refnum == INT32_MIN ? std::string() : "(refnum " + std::to_string(refnum) + ")";
}
}  // namespace

void Watchdog::fire(const CallSlot& stuck) {
    int32_t refnum = 0;
    double seconds = 0;
    const char* call = stuck.current(refnum, seconds);
    std::fprintf(stderr, "\nSTRESS FAILURE: %s has not returned from %s%s after %.1f s\n",
                 stuck.label().c_str(), call ? call : "?", refnumText(refnum).c_str(), seconds);
    std::fprintf(stderr, "Calls in progress:\n");
    for (const CallSlot& s : slots_) {
        if (const char* c = s.current(refnum, seconds))
            std::fprintf(stderr, "  %-16s (tid %d) %s%s for %.1f s\n", s.label().c_str(), s.tid(), c,
                         refnumText(refnum).c_str(), seconds);
    }
    std::fflush(stderr);
    dumpAllStacks();
    std::fprintf(stderr, "stress: FAILED (a call hung)\n");
    std::fflush(stderr);
    ::_exit(3);
}

static void crashHandler(int signal) {
    char text[96];
    const int len =
        std::snprintf(text, sizeof text, "\nSTRESS FAILURE: the process received %s\n", strsignal(signal));
    if (::write(STDERR_FILENO, text, static_cast<size_t>(len)) < 0) {
    }
    dumpAllStacks();
    std::fprintf(stderr, "stress: FAILED (crash)\n");
    std::fflush(stderr);
    ::raise(signal);  // the default action now: the handler was reset
}

void reportCrashes() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The sanitizers report faults themselves, with the faulting stack.
    const int signals[] = {SIGABRT};
#else
    const int signals[] = {SIGABRT, SIGSEGV, SIGBUS, SIGFPE, SIGILL};
#endif
    for (int signal : signals) {
        struct sigaction sa {};
        sa.sa_handler = crashHandler;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND;
        ::sigaction(signal, &sa, nullptr);
    }
}

}  // namespace stress
