// Wakes the rendering thread: from notification callbacks of the sound
// system and from calls that change what is playing. A wake that comes
// while the thread is busy is kept for its next wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace twm {

class Waker {
public:
    void wake() {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = true;
        cv_.notify_one();
    }
    // Waits for a wake, or at most timeoutMs (negative: no limit).
    void wait(int64_t timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        if (timeoutMs < 0) cv_.wait(lock, [this] { return pending_; });
        else cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return pending_; });
        pending_ = false;
    }
    // For sound system callbacks: context is the Waker.
    static void notify(void* context) { static_cast<Waker*>(context)->wake(); }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool pending_ = false;
};

}  // namespace twm
