#include "core/Performance.h"

#include <algorithm>
#include <atomic>

#include "api/Tables.h"
#include "core/Faults.h"
#include "core/LiveCounts.h"
#include "core/PerformanceRegistry.h"
#include "core/Segment.h"
#include "sound/SoundSystem.h"
#include "tonewell_music_control.h"

namespace twm {

namespace {
std::atomic<uint64_t> nextPerformanceId{1};
// Longest sleep of the thread while something plays: a quarter of a ring.
constexpr int64_t kMaxSleepMs = 250;
}  // namespace

Performance::Performance() : id_(nextPerformanceId++) {
    static const twm_performance_vtbl* table = performanceTable();
    vtbl = table;
    liveCounts().performances++;
    performances().add(this);
}

Performance::~Performance() {
    performances().remove(this);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& p : plays_) p->stop();
        plays_.clear();
        quit_ = true;
    }
    waker_.wake();
    if (thread_.joinable()) {
        thread_.join();
        liveCounts().threads--;
    }
    if (sound_) sound_->vtbl->release(sound_);
    liveCounts().performances--;
}

int32_t Performance::initAudio() {
    if (int32_t f = injectedFault(TWM_FAULT_INIT_AUDIO)) return f;
    std::lock_guard<std::mutex> lock(mutex_);
    if (initialized_ || thread_.joinable()) return TWM_E_FAIL;
    started_ = std::chrono::steady_clock::now();
    int32_t r = SoundSystem::instance().openDefaultOutput(&sound_);
    if (r != TWM_OK) return r;
    try {
        thread_ = std::thread([this] { run(); });
        liveCounts().threads++;  // counted from its start, not from when it first runs
    } catch (...) {
        sound_->vtbl->release(sound_);
        sound_ = nullptr;
        return TWM_E_OUTOFMEMORY;
    }
    initialized_ = true;
    return TWM_OK;
}

int32_t Performance::play(Segment* segment) {
    if (int32_t f = injectedFault(TWM_FAULT_PLAY)) return f;
    PlaySetup setup;
    int32_t r = segment->playSetup(id_, setup);
    if (r != TWM_OK) return r;
    tws_sound* sound;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!initialized_) return TWM_E_NOTINITIALIZED;
        sound = sound_;
    }
    std::shared_ptr<SegmentStatus> status = setup.status;
    std::unique_ptr<Playback> playback;
    r = Playback::create(sound, std::move(setup), waker_, playback);
    if (r != TWM_OK) return r;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopLocked(segment->id());
        plays_.push_back(std::move(playback));
        status->playing = 1;
        status->plays++;
    }
    waker_.wake();
    return TWM_OK;
}

int32_t Performance::isPlaying(const Segment* segment) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& p : plays_)
        if (p->segmentId() == segment->id() && !p->done()) return TWM_OK;
    return TWM_FALSE;
}

int32_t Performance::stop(const Segment* segment) {
    if (int32_t f = injectedFault(TWM_FAULT_STOP)) return f;
    std::lock_guard<std::mutex> lock(mutex_);
    stopLocked(segment->id());
    return TWM_OK;
}

void Performance::stopLocked(uint64_t segmentId) {
    for (auto it = plays_.begin(); it != plays_.end();) {
        if ((*it)->segmentId() == segmentId) {
            (*it)->stop();
            it = plays_.erase(it);
        } else {
            ++it;
        }
    }
}

int32_t Performance::setMasterVolume(int32_t volume) {
    if (int32_t f = injectedFault(TWM_FAULT_MASTER_VOLUME)) return f;
    if (volume < TWM_VOLUME_MIN || volume > TWM_VOLUME_MAX) return TWM_E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    volume_ = volume;
    for (auto& p : plays_)
        if (p->begun()) p->setVolume(volume);
    return TWM_OK;
}

int32_t Performance::getMasterVolume(int32_t* volume) {
    if (!volume) return TWM_E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    *volume = volume_;
    return TWM_OK;
}

int32_t Performance::getTime(int64_t* ticks) {
    if (int32_t f = injectedFault(TWM_FAULT_GET_TIME)) return f;
    if (!ticks) return TWM_E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!initialized_) return TWM_E_NOTINITIALIZED;
    auto elapsed = std::chrono::steady_clock::now() - started_;
    *ticks = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * TWM_TICKS_PER_QUARTER * 2 /
             1'000'000;
    return TWM_OK;
}

int64_t Performance::serviceLocked() {
    int64_t sleepMs = -1;
    for (auto it = plays_.begin(); it != plays_.end();) {
        Playback& p = **it;
        if (!p.begun()) p.begin(volume_);
        else p.service();
        if (p.done()) {
            it = plays_.erase(it);
            continue;
        }
        int64_t untilEnd = p.msUntilEnd();
        int64_t ms = untilEnd >= 0 ? std::min(untilEnd, kMaxSleepMs) : kMaxSleepMs;
        sleepMs = sleepMs < 0 ? ms : std::min(sleepMs, ms);
        ++it;
    }
    return sleepMs;
}

void Performance::run() {
    int64_t sleepMs = -1;
    for (;;) {
        waker_.wait(sleepMs);
        std::lock_guard<std::mutex> lock(mutex_);
        if (quit_) break;
        sleepMs = serviceLocked();
    }
}

}  // namespace twm
