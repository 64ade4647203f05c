// Reads a sound buffer's ring ahead of its cursor, for a device that takes
// data before it plays it: from where the run started, wrapping while the
// buffer loops, and silence once a one-shot ring has been read to its end.
// The buffer's volume is applied on the way.
#pragma once

#include <cstdint>

#include "core/Format.h"

namespace tws {

class RingFeed {
public:
    RingFeed(const Format& format) : format_(format) {}

    void attach(const uint8_t* ring, uint32_t frames) {
        ring_ = ring;
        frames_ = frames;
    }
    void restart(uint32_t fromFrame) {
        pos_ = fromFrame;
        ended_ = false;
    }
    // A one-shot ring was read to its end (then switched to looping, the
    // feed must start afresh from the cursor).
    bool ended() const { return ended_; }
    // Fills `frames` frames at `out`; call under the buffer's lock.
    void fill(uint8_t* out, uint32_t frames, bool looping, int32_t volume);

private:
    const Format format_;
    const uint8_t* ring_ = nullptr;
    uint32_t frames_ = 0;
    uint32_t pos_ = 0;  // ring frame the next frame comes from
    bool ended_ = false;
};

}  // namespace tws
