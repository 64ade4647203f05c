#include "content/Song.h"

#include <algorithm>

#include "content/MulDiv.h"
#include "tonewell_music.h"

namespace twm {

int64_t Song::frameAt(int64_t tick) const {
    if (tick <= 0) return 0;
    auto next = std::upper_bound(tempo.begin(), tempo.end(), tick,
                                 [](int64_t t, const TempoPoint& p) { return t < p.tick; });
    if (next == tempo.begin()) return 0;
    const TempoPoint& p = *(next - 1);
    // Ticks times microseconds times the rate can pass 2^63.
    const int64_t usFrames = int64_t{p.usPerQuarter} * TWM_SYNTH_RATE;
    return p.frame + mulDiv(tick - p.tick, usFrames, int64_t{TWM_TICKS_PER_QUARTER} * 1000000);
}

size_t Song::firstEventAt(int64_t tick) const {
    auto it = std::lower_bound(events.begin(), events.end(), tick,
                               [](const MidiEvent& e, int64_t t) { return e.tick < t; });
    return static_cast<size_t>(it - events.begin());
}

}  // namespace twm
