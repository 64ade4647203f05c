// Plays segments, each once, on the default output device. A rendering
// thread of its own starts plays, keeps their buffers filled and ends them;
// the calling threads only create buffers and stop plays.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "core/Playback.h"
#include "core/Waker.h"
#include "tonewell_music.h"

namespace twm {

class Segment;

class Performance : public twm_performance {
public:
    Performance();
    ~Performance();
    Performance(const Performance&) = delete;
    Performance& operator=(const Performance&) = delete;

    static Performance* from(twm_performance* p) { return static_cast<Performance*>(p); }

    uint64_t id() const { return id_; }
    int32_t initAudio();
    int32_t play(Segment* segment);
    int32_t isPlaying(const Segment* segment);
    int32_t stop(const Segment* segment);
    int32_t setMasterVolume(int32_t volume);
    int32_t getMasterVolume(int32_t* volume);
    int32_t getTime(int64_t* ticks);

private:
    void run();
    // Milliseconds the thread may sleep before it must look again; -1: until woken.
    int64_t serviceLocked();
    void stopLocked(uint64_t segmentId);

    const uint64_t id_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Playback>> plays_;
    tws_sound* sound_ = nullptr;
    bool initialized_ = false;
    bool quit_ = false;
    int32_t volume_ = TWM_VOLUME_MAX;
    std::chrono::steady_clock::time_point started_;
    Waker waker_;
    std::thread thread_;
};

}  // namespace twm
