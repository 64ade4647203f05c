// The virtual device side of one buffer: on each clock pass it works out how
// far the cursor has to move (from the real-time anchor or the manual
// advance), and consumes the passed bytes into the output tap or fills them
// with the counter signal.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/BufferCore.h"
#include "driver/Driver.h"
#include "virtual/Clock.h"

namespace tws {

class Tap;
class VirtualDriver;

class VirtualStream final : public Stream, private Transport {
public:
    // tap is null for capture buffers.
    VirtualStream(BufferCore& buffer, VirtualDriver& driver, std::shared_ptr<Tap> tap);
    ~VirtualStream() override;

    // Joins the clock; until then the stream is inert.
    tws_result start();

    BufferCore& buffer() { return buffer_; }
    const std::shared_ptr<Tap>& tap() const { return tap_; }
    void lose(uint32_t restoreFailures);

    // Stream
    void wake() override;
    tws_result restore() override;

    // Clock side, under the clock's lock: one pass. Returns when the next
    // event of this buffer is due (ns), or Clock::kNever.
    int64_t tick(const Clock::Tick& tick, std::vector<PendingNotice>& out);
    void reanchor(int64_t now);

private:
    uint64_t framesDue(const RunInfo& info) override;
    void chunk(uint8_t* data, uint32_t bytes) override;

    BufferCore& buffer_;
    VirtualDriver& driver_;
    const std::shared_ptr<Tap> tap_;
    const double rate_;
    bool started_ = false;
    std::atomic<uint32_t> restoreFailures_{0};

    // Guarded by the clock's lock.
    const Clock::Tick* tick_ = nullptr;
    uint64_t seenGeneration_ = 0;
    int64_t anchorNs_ = 0;
    uint64_t anchorFrames_ = 0;
    uint64_t moved_ = 0;
    int32_t volume_ = 0;
    uint64_t captured_ = 0;
};

}  // namespace tws
