#include "core/BufferCore.h"

#include <algorithm>
#include <cstring>

#include "core/Globals.h"

namespace tws {

namespace {

// Hands the transport each stretch the cursor passes, with scratch memory
// (silence) in place of any part a caller holds locked.
class HeldSink final : public ChunkSink {
public:
    HeldSink(ChunkSink& inner, uint8_t* base, const std::vector<HeldStretch>& held,
             std::vector<uint8_t>& scratch, uint8_t silence)
        : inner_(inner), base_(base), held_(held), scratch_(scratch), silence_(silence) {}

    void chunk(uint8_t* data, uint32_t bytes) override {
        uint32_t from = static_cast<uint32_t>(data - base_);
        const uint32_t to = from + bytes;
        while (from < to) {
            uint32_t heldEnd = from, next = to;
            for (const auto& h : held_) {
                if (h.offset <= from && from < h.offset + h.bytes)
                    heldEnd = std::max(heldEnd, h.offset + h.bytes);
                else if (h.offset > from)
                    next = std::min(next, h.offset);
            }
            if (heldEnd > from) {
                const uint32_t n = std::min(heldEnd, to) - from;
                scratch_.assign(n, silence_);
                inner_.chunk(scratch_.data(), n);
                from += n;
            } else {
                inner_.chunk(base_ + from, next - from);
                from = next;
            }
        }
    }

private:
    ChunkSink& inner_;
    uint8_t* base_;
    const std::vector<HeldStretch>& held_;
    std::vector<uint8_t>& scratch_;
    uint8_t silence_;
};

// A caller that never unlocks does not make the list grow without end.
constexpr size_t kMostHeld = 64;

}  // namespace

BufferCore::BufferCore(Direction direction, const Format& format, uint32_t flags, Driver& driver)
    : direction_(direction), format_(format), flags_(flags), driver_(driver) {}

BufferCore::~BufferCore() { shutdown(); }

tws_result BufferCore::allocate(uint32_t bytes) {
    std::lock_guard lock(mutex_);
    if (!ring_.allocate(bytes, format_.blockAlign, format_.silenceByte())) return TWS_E_OUTOFMEMORY;
    bytes_ = bytes;
    return TWS_OK;
}

void BufferCore::attach(std::unique_ptr<Stream> stream) { stream_ = std::move(stream); }

void BufferCore::shutdown() {
    dispatcher().close(*token_);
    stream_.reset();
}

void BufferCore::wake() {
    if (stream_) stream_->wake();
}

BufferCore::Service BufferCore::service(Transport& transport, std::vector<PendingNotice>& out) {
    std::lock_guard lock(mutex_);
    if (running_) {
        uint64_t due = transport.framesDue({generation_, volume_, ring_.cursor(), looping_});
        HeldSink guarded(transport, ring_.data(), held_, scratch_, format_.silenceByte());
        ChunkSink& sink = held_.empty() ? static_cast<ChunkSink&>(transport) : guarded;
        if (due > 0 && ring_.advance(due, looping_, sink, pending_).ended) {
            running_ = false;
            looping_ = false;
        }
    }
    Service result{running_, running_ ? ring_.framesToNextEvent(looping_) : Ring::kNoEvent};
    for (const auto& notice : pending_) out.push_back({notice, token_});
    pending_.clear();
    return result;
}

void BufferCore::setLost() {
    std::lock_guard lock(mutex_);
    lost_ = true;
}

tws_result BufferCore::fault(Method method) { return driver_.methodFault(method, direction_); }

uint32_t BufferCore::writeLeadFrames() const {
    return std::max<uint32_t>(1, (format_.rate + 50) / 100);
}

tws_result BufferCore::lock(uint32_t offset, uint32_t bytes, bool whole, bool fromWriteCursor,
                            void** ptr1, uint32_t* bytes1, void** ptr2, uint32_t* bytes2) {
    std::lock_guard lock(mutex_);
    if (lost_) return TWS_ERR_BUFFERLOST;
    if (fromWriteCursor) positionsLocked(nullptr, &offset);
    tws_result result = ring_.lock(offset, bytes, whole, ptr1, bytes1, ptr2, bytes2);
    if (result == TWS_OK) hold(*ptr1, *bytes1, bytes2 != nullptr ? *bytes2 : 0);
    return result;
}

tws_result BufferCore::unlock(void* ptr1, uint32_t bytes1, void* ptr2, uint32_t bytes2) {
    std::lock_guard lock(mutex_);
    tws_result result = ring_.checkUnlock(ptr1, bytes1, ptr2, bytes2);
    if (result == TWS_OK) release(ptr1);
    return result;
}

void BufferCore::hold(void* ptr1, uint32_t bytes1, uint32_t bytes2) {
    const uint32_t align = format_.blockAlign;
    auto stretch = [&](uint32_t offset, uint32_t bytes) {
        const uint32_t start = offset / align * align;
        const uint32_t end = std::min(bytes_, (offset + bytes + align - 1) / align * align);
        return HeldStretch{start, end - start};
    };
    if (held_.size() + 2 > kMostHeld) held_.erase(held_.begin(), held_.begin() + 2);
    held_.push_back(stretch(static_cast<uint32_t>(static_cast<uint8_t*>(ptr1) - ring_.data()), bytes1));
    held_.push_back(stretch(0, bytes2));  // the wrapped part, often empty
}

void BufferCore::release(const void* ptr1) {
    const uint32_t offset = static_cast<uint32_t>(static_cast<const uint8_t*>(ptr1) - ring_.data());
    const uint32_t start = offset / format_.blockAlign * format_.blockAlign;
    for (size_t i = 0; i + 1 < held_.size(); i += 2) {
        if (held_[i].offset == start) {
            held_.erase(held_.begin() + static_cast<std::ptrdiff_t>(i),
                        held_.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            return;
        }
    }
}

tws_result BufferCore::run(bool looping) {
    {
        std::lock_guard lock(mutex_);
        if (lost_) return TWS_ERR_BUFFERLOST;
        if (!running_) ++generation_;
        running_ = true;
        looping_ = looping;
    }
    wake();
    return TWS_OK;
}

void BufferCore::halt() {
    {
        std::lock_guard lock(mutex_);
        if (!running_) return;
        running_ = false;
        looping_ = false;
        ring_.appendStopNotices(pending_);
    }
    wake();
}

BufferCore::Status BufferCore::status() {
    std::lock_guard lock(mutex_);
    return {running_, looping_, lost_};
}

void BufferCore::positions(uint32_t* cursor, uint32_t* ahead) {
    std::lock_guard lock(mutex_);
    positionsLocked(cursor, ahead);
}

void BufferCore::positionsLocked(uint32_t* cursor, uint32_t* ahead) const {
    uint32_t frame = ring_.cursor();
    if (cursor != nullptr) *cursor = frame * format_.blockAlign;
    if (ahead != nullptr) {
        uint32_t lead = (direction_ == Direction::Output && running_) ? writeLeadFrames() : 0;
        *ahead = static_cast<uint32_t>((static_cast<uint64_t>(frame) + lead) % ring_.frames()) *
                 format_.blockAlign;
    }
}

tws_result BufferCore::setPosition(uint32_t offset) {
    {
        std::lock_guard lock(mutex_);
        if (offset >= bytes_) return TWS_E_INVALIDARG;
        ring_.setCursor(offset / format_.blockAlign);
    }
    wake();
    return TWS_OK;
}

tws_result BufferCore::setVolume(int32_t volume) {
    if (volume < TWS_BVOLUME_MIN || volume > TWS_BVOLUME_MAX) return TWS_E_INVALIDARG;
    std::lock_guard lock(mutex_);
    volume_ = volume;
    return TWS_OK;
}

int32_t BufferCore::volume() {
    std::lock_guard lock(mutex_);
    return volume_;
}

tws_result BufferCore::restore() {
    std::lock_guard lock(mutex_);
    if (!lost_) return TWS_OK;
    tws_result result = stream_ ? stream_->restore() : TWS_OK;
    if (result == TWS_OK) lost_ = false;
    return result;
}

tws_result BufferCore::setNotifications(uint32_t count, const tws_position_notify* positions) {
    tws_result result;
    {
        std::lock_guard lock(mutex_);
        if (running_) return TWS_ERR_INVALIDCALL;
        result = ring_.setPositions(count, positions);
    }
    wake();
    return result;
}

tws_result BufferCore::getFormat(tws_wave_format* format, uint32_t size, uint32_t* written) const {
    uint32_t needed = format_.recordSize();
    if (format == nullptr) {
        if (written == nullptr) return TWS_E_INVALIDARG;
        *written = needed;
        return TWS_OK;
    }
    if (size < needed) return TWS_E_INVALIDARG;
    std::memcpy(format, &format_.record, needed);
    if (written != nullptr) *written = needed;
    return TWS_OK;
}

}  // namespace tws
