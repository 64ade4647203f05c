// The DirectSound side of a capture buffer: a reader thread that takes what a
// looping DirectSound capture buffer has recorded, a period at a time, and
// lets the buffer's cursor pass over it, which copies it into the ring.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "directsound/DsStream.h"

namespace tws {

class DsCaptureStream final : public DsStream, private Transport {
public:
    static tws_result create(IDirectSoundCapture* dsc, BufferCore& buffer, std::unique_ptr<Stream>& out);
    ~DsCaptureStream() override;

    // Capture buffers cannot be restored: a lost device stops the buffer.
    tws_result restore() override { return TWS_OK; }

private:
    explicit DsCaptureStream(BufferCore& buffer) : DsStream(buffer), format_(buffer.format()) {}

    void loop(std::vector<PendingNotice>& batch, const std::atomic<bool>& released) override;
    // Reads what the device has; false when the device is gone.
    bool take();
    bool start();

    // Transport, on the reader thread under the buffer's lock.
    uint64_t framesDue(const RunInfo& info) override;
    void chunk(uint8_t* data, uint32_t bytes) override;

    const Format format_;
    ComRef<IDirectSoundCaptureBuffer> dscb_;
    uint32_t deviceFrames_ = 0;
    std::vector<uint8_t> staging_;

    // Reader thread only.
    bool active_ = false;   // the device captures for the current run
    bool restart_ = false;  // a run began: (re)start the device
    bool lost_ = false;
    uint64_t generation_ = 0;
    uint32_t readFrame_ = 0;  // where the next frame to take lies in the device buffer
    uint32_t staged_ = 0;     // frames read and not yet in the ring
    uint32_t copied_ = 0;     // bytes of staging_ handed to the ring
};

}  // namespace tws
