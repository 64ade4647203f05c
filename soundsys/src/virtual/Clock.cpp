#include "virtual/Clock.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <system_error>

#include "core/Dispatcher.h"
#include "core/Globals.h"
#include "virtual/VirtualStream.h"

namespace tws {

Clock::Clock(double speed) : speed_(speed) {}

Clock::~Clock() {
    std::thread current;
    std::vector<std::thread> finished;
    {
        std::lock_guard lock(mutex_);
        activeRun_ = 0;
        current = std::move(thread_);
        finished = std::move(finished_);
    }
    wakeCv_.notify_all();
    if (current.joinable()) current.join();
    for (auto& t : finished) t.join();
}

int64_t Clock::nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

tws_result Clock::add(VirtualStream* stream) {
    std::vector<std::thread> toJoin;
    {
        std::lock_guard lock(mutex_);
        if (activeRun_ == 0 && thread_.joinable() && thread_.get_id() == std::this_thread::get_id()) {
            // A callback on the clock thread gave up the last stream and now
            // makes a new one: the thread simply keeps going.
            activeRun_ = threadRun_;
        } else if (activeRun_ == 0) {
            if (thread_.joinable()) finished_.push_back(std::move(thread_));
            const uint64_t runId = ++runCounter_;
            try {
                thread_ = std::thread(&Clock::run, this, runId);
            } catch (const std::system_error&) {
                return TWS_E_OUTOFMEMORY;
            }
            threadRun_ = activeRun_ = runId;
            ++threadsAlive_;
            for (auto it = finished_.begin(); it != finished_.end();) {
                if (it->get_id() == std::this_thread::get_id()) {
                    ++it;
                } else {
                    toJoin.push_back(std::move(*it));
                    it = finished_.erase(it);
                }
            }
        }
        streams_.push_back(stream);
        wakeRequested_ = true;
    }
    wakeCv_.notify_all();
    for (auto& t : toJoin) t.join();
    return TWS_OK;
}

void Clock::remove(VirtualStream* stream) {
    std::thread toJoin;
    {
        std::lock_guard lock(mutex_);
        std::erase(streams_, stream);
        if (!streams_.empty() || activeRun_ == 0) return;
        activeRun_ = 0;
        if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id())
            toJoin = std::move(thread_);
    }
    wakeCv_.notify_all();
    if (toJoin.joinable()) toJoin.join();
}

void Clock::wake() {
    {
        std::lock_guard lock(mutex_);
        wakeRequested_ = true;
    }
    wakeCv_.notify_all();
}

tws_result Clock::setSpeed(double factor) {
    if (!(factor > 0.0) || !std::isfinite(factor)) return TWS_E_INVALIDARG;
    {
        std::lock_guard lock(mutex_);
        speed_ = factor;
        reanchor_ = true;
        wakeRequested_ = true;
    }
    wakeCv_.notify_all();
    return TWS_OK;
}

double Clock::speed() const {
    std::lock_guard lock(mutex_);
    return speed_;
}

void Clock::setManual(bool manual) {
    {
        std::lock_guard lock(mutex_);
        if (manual_ == manual) return;
        manual_ = manual;
        reanchor_ = true;
        wakeRequested_ = true;
    }
    wakeCv_.notify_all();
}

bool Clock::manual() const {
    std::lock_guard lock(mutex_);
    return manual_;
}

uint32_t Clock::threadsAlive() const {
    std::lock_guard lock(mutex_);
    return threadsAlive_;
}

tws_result Clock::advance(uint64_t frames) {
    if (Dispatcher::inCallback()) return TWS_ERR_INVALIDCALL;
    std::unique_lock lock(mutex_);
    if (!manual_) return TWS_ERR_INVALIDCALL;
    return request(lock, frames);
}

tws_result Clock::flush() {
    if (Dispatcher::inCallback()) return TWS_ERR_INVALIDCALL;
    std::unique_lock lock(mutex_);
    return request(lock, 0);
}

tws_result Clock::request(std::unique_lock<std::mutex>& lock, uint64_t frames) {
    if (activeRun_ == 0) return TWS_OK;  // no buffer, nothing to move or deliver
    pendingFrames_ += frames;
    const uint64_t ticket = ++requested_;
    wakeCv_.notify_all();
    doneCv_.wait(lock, [&] { return served_ >= ticket; });
    return TWS_OK;
}

void Clock::run(uint64_t runId) {
    std::unique_lock lock(mutex_);
    std::vector<PendingNotice> batch;
    while (activeRun_ == runId) {
        Tick tick{nowNs(), speed_, manual_, manual_ ? pendingFrames_ : 0};
        pendingFrames_ = 0;
        const uint64_t serving = requested_;
        if (reanchor_) {
            for (auto* s : streams_) s->reanchor(tick.now);
            reanchor_ = false;
        }
        int64_t wakeAt = kNever;
        for (auto* s : streams_) {
            int64_t due = s->tick(tick, batch);
            if (due != kNever) wakeAt = std::min({wakeAt, due, tick.now + kStepNs});
        }
        if (!batch.empty()) {
            lock.unlock();
            dispatcher().deliver(batch);
            batch.clear();
            lock.lock();
        }
        if (serving > served_) {
            served_ = serving;
            doneCv_.notify_all();
        }
        auto woken = [&] { return wakeRequested_ || activeRun_ != runId || requested_ > served_; };
        if (wakeAt == kNever) {
            wakeCv_.wait(lock, woken);
        } else {
            auto until = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(wakeAt));
            wakeCv_.wait_until(lock, until, woken);
        }
        wakeRequested_ = false;
    }
    --threadsAlive_;
    if (activeRun_ == 0) {
        pendingFrames_ = 0;
        served_ = requested_;
        doneCv_.notify_all();
    }
}

}  // namespace tws
