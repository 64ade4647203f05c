// Every thread of the stress host that calls into the library owns a call
// slot and marks each call in it. The watchdog ends the run, with every
// thread's stack, once any call has been running longer than the limit.
#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

namespace stress {

class CallSlot {
public:
    explicit CallSlot(std::string label) : label_(std::move(label)) {}

    // `refnum` INT32_MIN: the call names no object.
    void begin(const char* call, int32_t refnum);
    void end() { call_.store(nullptr, std::memory_order_release); }

    const std::string& label() const { return label_; }
    pid_t tid() const { return tid_.load(); }
    // The call in progress and its age; null when none.
    const char* current(int32_t& refnum, double& seconds) const;

private:
    const std::string label_;
    std::atomic<pid_t> tid_{0};
    std::atomic<const char*> call_{nullptr};
    std::atomic<int32_t> refnum_{0};
    std::atomic<int64_t> sinceNs_{0};
};

class Watchdog {
public:
    explicit Watchdog(double limitSeconds);
    ~Watchdog();

    // A slot that lives as long as the watchdog.
    CallSlot& slot(const std::string& label);

private:
    void run();
    [[noreturn]] void fire(const CallSlot& stuck);

    const double limitSeconds_;
    std::mutex mutex_;
    std::deque<CallSlot> slots_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A crash (abort, bad access) prints every thread's stack before it ends
// the process.
void reportCrashes();

}  // namespace stress
