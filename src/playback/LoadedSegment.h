// One file loaded by the music engine into a segment, with its instruments
// downloaded to the performance. Destruction drops the loader's cached copy,
// unloads the instruments and releases the segment.
#pragma once

#include <cstdint>
#include <memory>

#include "tonewell_music.h"

namespace tw {

class LoadedSegment {
public:
    // Loads `path`; marks it a Standard MIDI File when isMidi, downloads it
    // when asked. `out` receives the segment as soon as it exists, also when
    // a later step fails. Returns the engine's result.
    static int32_t create(const char* path, bool download, bool isMidi, std::shared_ptr<LoadedSegment>& out);
    ~LoadedSegment();
    LoadedSegment(const LoadedSegment&) = delete;
    LoadedSegment& operator=(const LoadedSegment&) = delete;

    // Plays once from the start point: needs segment and performance, and
    // the instruments downloaded.
    int32_t play();
    bool isPlaying();
    int32_t stop();
    int32_t setRepeats(uint32_t repeats);
    int32_t setStartPoint(int64_t musicTime);
    int32_t getStartPoint(int64_t* musicTime);
    // Playing time from the start point, in milliseconds (0 if unknown).
    uint32_t durationMs();

private:
    LoadedSegment(twm_segment* segment, twm_loader* loader, twm_performance* performance);

    twm_segment* segment_;
    twm_loader* loader_;
    twm_performance* performance_;
    bool downloaded_ = false;
};

}  // namespace tw
