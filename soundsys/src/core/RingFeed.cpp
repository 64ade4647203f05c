#include "core/RingFeed.h"

#include <algorithm>
#include <cstring>

#include "core/Volume.h"

namespace tws {

void RingFeed::fill(uint8_t* out, uint32_t frames, bool looping, int32_t volume) {
    const uint32_t align = format_.blockAlign;
    while (frames > 0) {
        if (ended_) {
            // Past the end of a one-shot ring: silence until the cursor gets there.
            std::memset(out, format_.silenceByte(), size_t{frames} * align);
            return;
        }
        const uint32_t n = std::min(frames, frames_ - pos_);
        applyVolume(out, ring_ + size_t{pos_} * align, n * align, format_, volume);
        out += size_t{n} * align;
        frames -= n;
        pos_ += n;
        if (pos_ == frames_) {
            pos_ = 0;
            ended_ = !looping;
        }
    }
}

}  // namespace tws
