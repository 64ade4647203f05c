// Moves a sound buffer's cursor by what its device has really played, for a
// driver that feeds the device ahead of the cursor (ALSA, DirectSound). It
// counts from the start of each run. While the device is lost, the cursor
// runs on the wall clock, so the owner sees the buffer move, hears of the
// loss and gets to restore it.
#pragma once

#include <cstdint>

#include "core/BufferCore.h"

namespace tws {

class PlayedCursor {
public:
    PlayedCursor(uint32_t rate, uint32_t ringFrames) : rate_(rate), ringFrames_(ringFrames) {}

    struct Step {
        uint64_t due;    // frames the cursor moves now
        bool restarted;  // a new run: feed the device afresh from the cursor
    };
    // From Transport::framesDue, under the buffer's lock. A run starts anew
    // when the buffer started, the cursor was moved, or a one-shot ring that
    // was fed to its end (`fedToEnd`) was switched to looping. `queued`:
    // frames the device holds and has not played yet.
    Step step(const Transport::RunInfo& info, bool fedToEnd, bool lost, uint64_t queued);
    // The device took `frames` more frames of this run.
    void wrote(uint64_t frames) { written_ += frames; }
    // The device went away: from now on the cursor runs on the wall clock.
    void lose();
    // Feed again from wherever the cursor is (stopped, or the device is back).
    void resync() { synced_ = false; }

private:
    const uint32_t rate_;
    const uint32_t ringFrames_;
    bool synced_ = false;  // the counters below belong to the current run
    uint64_t generation_ = 0;
    uint32_t expectCursor_ = 0;
    uint64_t written_ = 0;
    uint64_t played_ = 0;
    uint64_t reported_ = 0;  // frames the cursor was moved in this run
    int64_t lostAnchorNs_ = 0;
    uint64_t lostAnchorFrames_ = 0;
};

}  // namespace tws
