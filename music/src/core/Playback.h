// One play of a segment: a looping output buffer of one second that the
// rendering thread keeps filled ahead of the play cursor. Once the source
// has finished, the rest is silence, and the play ends when the cursor has
// passed the last rendered frame. Every call but construction runs under
// the performance's lock.
#pragma once

#include <cstdint>
#include <memory>

#include "content/PcmSound.h"
#include "core/Segment.h"
#include "core/Waker.h"
#include "source/Source.h"
#include "tonewell_sound.h"

namespace twm {

class Playback {
public:
    // Notification positions per ring.
    static constexpr uint32_t kNotifications = 8;

    // TWM_E_AUDIO when the buffer cannot be made.
    static int32_t create(tws_sound* sound, PlaySetup setup, Waker& waker, std::unique_ptr<Playback>& out);
    ~Playback();
    Playback(const Playback&) = delete;
    Playback& operator=(const Playback&) = delete;

    uint64_t segmentId() const { return setup_.segmentId; }
    bool done() const { return done_; }

    // Fills the ring and starts the buffer; a refusal ends the play.
    void begin(int32_t volume);
    bool begun() const { return begun_; }
    // Counts what was played, tops the ring up, ends the play at its end.
    void service();
    void stop();
    void setVolume(int32_t volume);
    // Milliseconds until the play cursor reaches the end, when known; else -1.
    int64_t msUntilEnd() const;

private:
    Playback(PlaySetup setup, tws_buffer* buffer, const PcmFormat& format);
    void countPlayed();
    void fill();
    void finish();

    const PlaySetup setup_;
    tws_buffer* const buffer_;
    const uint32_t rate_;
    const uint32_t blockAlign_;
    const uint32_t ringFrames_;
    const uint8_t silence_;
    std::unique_ptr<Source> source_;
    uint64_t written_ = 0;   // frames put into the ring
    uint64_t played_ = 0;    // frames the play cursor has passed
    uint64_t endFrame_ = 0;  // valid once the source has finished
    uint32_t cursor_ = 0;    // last play cursor, in bytes
    bool ending_ = false;
    bool begun_ = false;
    bool done_ = false;
};

}  // namespace twm
