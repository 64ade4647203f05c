#include "core/PlayedCursor.h"

#include <algorithm>
#include <chrono>

namespace tws {

namespace {

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

PlayedCursor::Step PlayedCursor::step(const Transport::RunInfo& info, bool fedToEnd, bool lost, uint64_t queued) {
    bool restarted = false;
    if (!synced_ || info.generation != generation_ || info.cursor != expectCursor_ || (info.looping && fedToEnd)) {
        generation_ = info.generation;
        synced_ = true;
        restarted = true;
        written_ = played_ = reported_ = 0;
        lostAnchorNs_ = nowNs();
        lostAnchorFrames_ = 0;
    } else if (lost) {
        const double elapsed = static_cast<double>(nowNs() - lostAnchorNs_) * 1e-9;
        played_ = std::max(played_, lostAnchorFrames_ + static_cast<uint64_t>(elapsed * rate_));
    } else if (written_ > queued) {
        played_ = std::max(played_, written_ - queued);
    }
    const uint64_t due = played_ - reported_;
    reported_ = played_;
    expectCursor_ = static_cast<uint32_t>((info.cursor + due) % ringFrames_);
    return {due, restarted};
}

void PlayedCursor::lose() {
    lostAnchorNs_ = nowNs();
    lostAnchorFrames_ = played_;
}

}  // namespace tws
