// The virtual driver's clock: one thread that moves the cursors of all
// running virtual buffers and delivers their notifications. On the real-time
// clock it sleeps until the next notification is due, at most one step; on
// the manual clock cursors move only when a test advances them.
//
// The thread exists while there are streams: it starts with the first and is
// joined when the last one goes (or, when the last one goes from inside a
// callback on the clock thread itself, by the next start or the destructor).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "tonewell_sound.h"

namespace tws {

class VirtualStream;

class Clock {
public:
    static constexpr int64_t kStepNs = 1'000'000;
    static constexpr int64_t kNever = INT64_MAX;

    // What one pass of the clock asks of a stream.
    struct Tick {
        int64_t now;            // ns, steady clock
        double speed;
        bool manual;
        uint64_t manualFrames;  // frames to move on the manual clock
    };

    explicit Clock(double speed);
    ~Clock();
    Clock(const Clock&) = delete;
    Clock& operator=(const Clock&) = delete;

    tws_result add(VirtualStream* stream);
    void remove(VirtualStream* stream);
    void wake();

    tws_result setSpeed(double factor);
    double speed() const;
    void setManual(bool manual);
    bool manual() const;
    tws_result advance(uint64_t frames);
    tws_result flush();
    uint32_t threadsAlive() const;

    static int64_t nowNs();

private:
    void run(uint64_t runId);
    tws_result request(std::unique_lock<std::mutex>& lock, uint64_t frames);

    mutable std::mutex mutex_;
    std::condition_variable wakeCv_;
    std::condition_variable doneCv_;
    std::vector<VirtualStream*> streams_;
    std::thread thread_;
    std::vector<std::thread> finished_;  // threads whose run ended on their own
    uint64_t threadRun_ = 0;             // run id of thread_
    uint64_t activeRun_ = 0;             // 0: no thread should run
    uint64_t runCounter_ = 0;
    uint32_t threadsAlive_ = 0;
    bool wakeRequested_ = false;
    bool reanchor_ = false;
    double speed_;
    bool manual_ = false;
    uint64_t pendingFrames_ = 0;
    uint64_t requested_ = 0;  // advance/flush tickets handed out
    uint64_t served_ = 0;     // tickets whose pass has been delivered
};

}  // namespace tws
