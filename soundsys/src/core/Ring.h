// The ring memory of a buffer with its cursor and notification positions.
// Not synchronised: its owner (BufferCore) holds the lock around every call.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "tonewell_sound.h"

namespace tws {

// A callback that has become due, not yet delivered.
struct Notice {
    tws_notify_fn callback;
    void* context;
};

// Receives each stretch of ring memory that the cursor passes.
class ChunkSink {
public:
    virtual void chunk(uint8_t* data, uint32_t bytes) = 0;

protected:
    ~ChunkSink() = default;
};

class Ring {
public:
    static constexpr uint64_t kNoEvent = UINT64_MAX;

    // false when the memory cannot be had.
    bool allocate(uint32_t bytes, uint32_t blockAlign, uint8_t fill);

    uint32_t bytes() const { return bytes_; }
    uint32_t frames() const { return frames_; }
    uint32_t blockAlign() const { return blockAlign_; }
    uint8_t* data() { return memory_.get(); }

    uint32_t cursor() const { return cursor_; }
    void setCursor(uint32_t frame) { cursor_ = frame % frames_; }

    tws_result lock(uint32_t offset, uint32_t bytes, bool whole, void** ptr1, uint32_t* bytes1,
                    void** ptr2, uint32_t* bytes2);
    tws_result checkUnlock(const void* ptr1, uint32_t bytes1, const void* ptr2,
                           uint32_t bytes2) const;

    tws_result setPositions(uint32_t count, const tws_position_notify* positions);

    // Moves the cursor by up to `frames`, handing the passed memory to the
    // sink and the passed positions to `due`, in order. Without looping it
    // stops at the end (cursor back at 0) and returns ended = true.
    struct Move {
        uint64_t frames;
        bool ended;
    };
    Move advance(uint64_t frames, bool looping, ChunkSink& sink, std::vector<Notice>& due);

    // Frames the cursor still has to move before the next position fires or,
    // without looping, before the end; kNoEvent when nothing is ahead.
    uint64_t framesToNextEvent(bool looping) const;

    void appendStopNotices(std::vector<Notice>& due) const;

private:
    struct Position {
        uint32_t frame;  // frame holding the notified byte
        Notice notice;
    };

    void passSegment(uint32_t from, uint32_t to, std::vector<Notice>& due) const;

    std::unique_ptr<uint8_t[]> memory_;
    uint32_t bytes_ = 0;
    uint32_t frames_ = 0;
    uint32_t blockAlign_ = 1;
    uint32_t cursor_ = 0;
    std::vector<Position> positions_;  // sorted by frame
    std::vector<Notice> stopNotices_;
};

}  // namespace tws
