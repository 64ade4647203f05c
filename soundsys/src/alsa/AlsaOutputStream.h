// The ALSA side of a sound buffer: a feeder thread that streams the ring to
// an ALSA PCM a period at a time, with the buffer's volume applied, reading
// ahead of the play cursor by what the device has queued. The play cursor is
// what the device has really played (frames written minus its delay), so
// notifications follow the sound.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "alsa/AlsaPcm.h"
#include "alsa/AlsaStream.h"
#include "core/PlayedCursor.h"
#include "core/RingFeed.h"

namespace tws {

class AlsaOutputStream final : public AlsaStream, private Transport {
public:
    static tws_result create(const std::string& name, BufferCore& buffer,
                             std::unique_ptr<Stream>& out);
    ~AlsaOutputStream() override;

    // Under the buffer's lock: reopens the device of a lost buffer.
    tws_result restore() override;

private:
    AlsaOutputStream(const std::string& name, BufferCore& buffer);

    void loop(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) override;
    // Reads the device's queue; false when the device is gone.
    bool measure();
    // Writes what framesDue staged; false when the device is gone.
    bool writeStaged();
    void loseDevice();
    bool adoptRestored();

    // Transport, on the feeder thread under the buffer's lock.
    uint64_t framesDue(const RunInfo& info) override;
    void chunk(uint8_t*, uint32_t) override {}  // played bytes were fed earlier
    void stage(const RunInfo& info);

    const std::string name_;
    const Format format_;
    RingFeed feed_;
    PlayedCursor cursor_;
    uint32_t ringFrames_ = 0;
    std::unique_ptr<AlsaPcm> pcm_;
    std::vector<uint8_t> staging_;
    uint32_t stagingFrames_ = 0;
    uint32_t maxAhead_ = 0;  // frames the device may hold: half the ring

    // Feeder thread only.
    bool active_ = false;      // the PCM holds data of a run
    bool restart_ = false;     // drop the PCM's queue before the next write
    uint64_t delay_ = 0;
    uint32_t room_ = 0;        // frames the device has room for
    uint32_t staged_ = 0;
    bool lost_ = false;

    std::mutex restoreMutex_;
    std::unique_ptr<AlsaPcm> restored_;  // guarded by restoreMutex_
};

}  // namespace tws
