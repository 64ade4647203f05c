// The state of one sound or capture buffer, shared by both kinds and by all
// drivers: ring memory, cursor, running/looping/lost flags, volume,
// notification positions and the notices waiting for delivery. Every method
// takes the buffer's lock; the C adapters (OutputBuffer, CaptureBuffer) only
// translate calls and flags.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "core/Dispatcher.h"
#include "core/Format.h"
#include "core/Ring.h"
#include "driver/Driver.h"

namespace tws {

// A stream's side of BufferCore::service(), called under the buffer's lock.
class Transport : public ChunkSink {
public:
    struct RunInfo {
        uint64_t generation;  // changes each time the buffer starts running
        int32_t volume;       // hundredths of a decibel, 0 for capture
        uint32_t cursor;      // frame the cursor stands on before this move
        bool looping;
    };
    // Frames the cursor is to move now.
    virtual uint64_t framesDue(const RunInfo& info) = 0;

protected:
    ~Transport() = default;
};

struct HeldStretch {
    uint32_t offset;  // bytes
    uint32_t bytes;
};

class BufferCore {
public:
    BufferCore(Direction direction, const Format& format, uint32_t flags, Driver& driver);
    ~BufferCore();
    BufferCore(const BufferCore&) = delete;
    BufferCore& operator=(const BufferCore&) = delete;

    tws_result allocate(uint32_t bytes);
    void attach(std::unique_ptr<Stream> stream);
    // Stops callbacks and detaches the stream; runs before destruction.
    void shutdown();

    Direction direction() const { return direction_; }
    const Format& format() const { return format_; }
    uint32_t flags() const { return flags_; }
    uint32_t bytes() const { return bytes_; }

    // ---- driver side
    struct Service {
        bool running;
        uint64_t framesToNextEvent;  // Ring::kNoEvent when nothing is ahead
    };
    // Moves the cursor by what the transport says is due and hands over the
    // notices that are due, tagged for the dispatcher.
    Service service(Transport& transport, std::vector<PendingNotice>& out);
    void setLost();

    // ---- caller side
    struct Status {
        bool running;
        bool looping;
        bool lost;
    };
    tws_result fault(Method method);
    tws_result lock(uint32_t offset, uint32_t bytes, bool whole, bool fromWriteCursor, void** ptr1,
                    uint32_t* bytes1, void** ptr2, uint32_t* bytes2);
    tws_result unlock(void* ptr1, uint32_t bytes1, void* ptr2, uint32_t bytes2);
    tws_result run(bool looping);
    void halt();
    Status status();
    // Byte offsets of the cursor and of the position ahead of it where data
    // may be written (output) or up to which data is complete (capture).
    void positions(uint32_t* cursor, uint32_t* ahead);
    tws_result setPosition(uint32_t offset);
    tws_result setVolume(int32_t volume);
    int32_t volume();
    tws_result restore();
    tws_result setNotifications(uint32_t count, const tws_position_notify* positions);
    tws_result getFormat(tws_wave_format* format, uint32_t size, uint32_t* written) const;

private:
    void wake();
    uint32_t writeLeadFrames() const;
    void hold(void* ptr1, uint32_t bytes1, uint32_t bytes2);
    void release(const void* ptr1);
    void positionsLocked(uint32_t* cursor, uint32_t* ahead) const;

    const Direction direction_;
    const Format format_;
    const uint32_t flags_;
    Driver& driver_;
    uint32_t bytes_ = 0;
    std::unique_ptr<Stream> stream_;
    std::shared_ptr<DeliveryToken> token_ = std::make_shared<DeliveryToken>();

    std::mutex mutex_;
    Ring ring_;
    bool running_ = false;
    bool looping_ = false;
    bool lost_ = false;
    int32_t volume_ = 0;
    uint64_t generation_ = 0;
    std::vector<Notice> pending_;
    // Stretches of the ring a caller holds locked, frame-aligned. The cursor
    // does not touch them: what it passes there comes from or goes to
    // scratch_, so a caller whose lock a small ring laps works on memory no
    // other thread touches (the data there is lost, as on an overrun).
    std::vector<HeldStretch> held_;
    std::vector<uint8_t> scratch_;
};

}  // namespace tws
