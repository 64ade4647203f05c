// The DirectSound side of a sound buffer: a feeder thread that streams the
// ring, with the buffer's volume applied, into a looping DirectSound buffer a
// period at a time, keeping a few periods queued beyond the device's write
// cursor (where the system takes sound from). The play cursor is what the device has really played, so
// notifications follow the sound. Behind what it writes the feeder leaves
// silence: a late feeder makes a gap, never a replay of an old lap.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/PlayedCursor.h"
#include "core/RingFeed.h"
#include "directsound/DsStream.h"

namespace tws {

class DsOutputStream final : public DsStream, private Transport {
public:
    static tws_result create(IDirectSound8* ds, BufferCore& buffer, std::unique_ptr<Stream>& out);
    ~DsOutputStream() override;

    // Under the buffer's lock: restores the device buffer of a lost buffer.
    tws_result restore() override;

private:
    explicit DsOutputStream(BufferCore& buffer);

    void loop(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) override;
    // Reads the device's cursors; false when the device buffer is gone.
    bool measure();
    // Writes what framesDue staged, starting the device buffer if need be;
    // false when it is gone.
    bool writeStaged();
    // Device frames from `at` on (absolute), from `data` or silence if null.
    bool put(uint64_t at, const uint8_t* data, uint32_t frames);
    bool begin();
    void halt();
    void loseDevice();
    bool adoptRestored();

    // Transport, on the feeder thread under the buffer's lock.
    uint64_t framesDue(const RunInfo& info) override;
    void chunk(uint8_t*, uint32_t) override {}  // played bytes were fed earlier

    const Format format_;
    RingFeed feed_;
    PlayedCursor cursor_;
    uint32_t ringFrames_ = 0;
    ComRef<IDirectSoundBuffer> dsb_;
    uint32_t period_ = 0;
    uint32_t deviceFrames_ = 0;  // the device buffer's length
    uint32_t maxAhead_ = 0;      // frames the device may hold
    std::vector<uint8_t> staging_;

    // Feeder thread only.
    bool active_ = false;   // the device buffer plays data of a run
    bool restart_ = false;  // start the device buffer afresh before the next write
    uint64_t queued_ = 0;    // frames written and not yet played (with any gap)
    uint64_t devPlayed_ = 0;  // device frames played since the device buffer started
    uint64_t devNext_ = 0;    // device frame the next write goes to
    uint32_t lastPlay_ = 0;   // the play cursor as last read, in frames
    uint32_t room_ = 0;
    uint32_t staged_ = 0;
    bool lost_ = false;

    std::mutex restoreMutex_;
    bool restored_ = false;  // guarded by restoreMutex_
};

}  // namespace tws
