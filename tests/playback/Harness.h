// What the end-to-end playback tests share: the music engine's control
// interface (the module the library loads), the virtual driver's taps, and
// PlaySoundFile with a path.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "host/Library.h"
#include "host/VirtualDriver.h"
#include "tonewell_music_control.h"

namespace playtest {

struct MusicControl {
#define TWM_CONTROL(name) decltype(&::name) name = nullptr;
#include "tonewell_music_controls.inc"
#undef TWM_CONTROL
    decltype(&::twm_loader_create) loaderCreate = nullptr;
    bool loaded() const {
        return twm_control_last_segment != nullptr;
    }
};

// libtonewell-music.so from TONEWELL_LIB_DIR, loaded once.
MusicControl& music();
bool haveSoundFont();

// What the engine holds now.
twm_control_counts liveCounts();

// The info of the segment loaded last; kind 0 when there is none.
twm_segment_info lastSegment();
int32_t masterVolume();

// Interleaved 16-bit samples an output buffer played so far.
std::vector<int16_t> tapSamples(uint32_t index);
struct Span {
    int64_t first = -1;  // first frame with a sample above the threshold
    int64_t last = -1;   // last such frame
};
Span loudSpan(const std::vector<int16_t>& samples, int channels, int threshold);
int peak(const std::vector<int16_t>& samples);

// PlaySoundFile on device 0 unless told.
int32_t playFile(const std::string& path, TaskRefnum* refnum, int32_t device = 0, uint32_t delayMs = 0);
std::string stateDesc(TaskRefnum refnum);
using testhost::running;
int32_t setVolume(TaskRefnum refnum, int32_t volume);
// The volumes SOInfo reports, with its result and flag last.
std::vector<int32_t> volumes(TaskRefnum refnum);

using Clock = std::chrono::steady_clock;
inline double secondsSince(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

// Base fixture: library and engine loaded, faults cleared after each test.
class PlaybackTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    const testhost::Exports& api() { return testhost::library().api(); }
    testhost::VirtualDriver& driver() { return testhost::virtualDriver(); }
};

// As above, for tests that need the General MIDI SoundFont.
class MidiPlaybackTest : public PlaybackTest {
protected:
    void SetUp() override;
};

}  // namespace playtest
