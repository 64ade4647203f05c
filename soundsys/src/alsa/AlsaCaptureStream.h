// The ALSA side of a capture buffer: a reader thread that takes what the
// capture PCM has recorded, a period at a time, and lets the buffer's cursor
// pass over it, which copies it into the ring.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "alsa/AlsaPcm.h"
#include "alsa/AlsaStream.h"

namespace tws {

class AlsaCaptureStream final : public AlsaStream, private Transport {
public:
    static tws_result create(const std::string& name, BufferCore& buffer,
                             std::unique_ptr<Stream>& out);
    ~AlsaCaptureStream() override;

    // Capture buffers cannot be restored: a lost device stops the buffer.
    tws_result restore() override { return TWS_OK; }

private:
    AlsaCaptureStream(BufferCore& buffer) : AlsaStream(buffer), format_(buffer.format()) {}

    void loop(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) override;
    // Reads what the device has; false when the device is gone.
    bool take();

    // Transport, on the reader thread under the buffer's lock.
    uint64_t framesDue(const RunInfo& info) override;
    void chunk(uint8_t* data, uint32_t bytes) override;

    const Format format_;
    std::unique_ptr<AlsaPcm> pcm_;
    std::vector<uint8_t> staging_;
    uint32_t stagingFrames_ = 0;

    // Reader thread only.
    bool active_ = false;   // the PCM is capturing for the current run
    bool restart_ = false;  // a run began: (re)start the PCM
    bool lost_ = false;
    uint64_t generation_ = 0;
    uint32_t staged_ = 0;   // frames read and not yet in the ring
    uint32_t copied_ = 0;   // bytes of staging_ handed to the ring
};

}  // namespace tws
