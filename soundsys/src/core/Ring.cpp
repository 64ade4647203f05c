#include "core/Ring.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace tws {

bool Ring::allocate(uint32_t bytes, uint32_t blockAlign, uint8_t fill) {
    memory_.reset(new (std::nothrow) uint8_t[bytes]);
    if (!memory_) return false;
    std::memset(memory_.get(), fill, bytes);
    bytes_ = bytes;
    blockAlign_ = blockAlign;
    frames_ = bytes / blockAlign;
    cursor_ = 0;
    return true;
}

tws_result Ring::lock(uint32_t offset, uint32_t bytes, bool whole, void** ptr1, uint32_t* bytes1,
                      void** ptr2, uint32_t* bytes2) {
    if (ptr1 == nullptr || bytes1 == nullptr) return TWS_E_INVALIDARG;
    if (whole) bytes = bytes_;
    if (offset >= bytes_ || bytes == 0 || bytes > bytes_) return TWS_E_INVALIDARG;
    uint32_t first = std::min(bytes, bytes_ - offset);
    uint32_t second = bytes - first;
    if (ptr2 == nullptr) second = 0;  // caller takes only the stretch up to the end
    *ptr1 = memory_.get() + offset;
    *bytes1 = first;
    if (ptr2 != nullptr) *ptr2 = second ? memory_.get() : nullptr;
    if (bytes2 != nullptr) *bytes2 = second;
    return TWS_OK;
}

tws_result Ring::checkUnlock(const void* ptr1, uint32_t bytes1, const void* ptr2,
                             uint32_t bytes2) const {
    const auto* base = memory_.get();
    const auto* p1 = static_cast<const uint8_t*>(ptr1);
    if (p1 < base || p1 >= base + bytes_ || bytes1 > static_cast<uint32_t>(base + bytes_ - p1))
        return TWS_E_INVALIDARG;
    if (ptr2 != nullptr && (ptr2 != base || bytes2 > bytes_)) return TWS_E_INVALIDARG;
    return TWS_OK;
}

tws_result Ring::setPositions(uint32_t count, const tws_position_notify* positions) {
    if (count > 0 && positions == nullptr) return TWS_E_INVALIDARG;
    std::vector<Position> sorted;
    std::vector<Notice> stops;
    for (uint32_t i = 0; i < count; ++i) {
        const auto& p = positions[i];
        if (p.callback == nullptr) return TWS_E_INVALIDARG;
        if (p.dwOffset == TWS_BPN_OFFSETSTOP) {
            stops.push_back({p.callback, p.context});
        } else if (p.dwOffset < bytes_) {
            sorted.push_back({p.dwOffset / blockAlign_, {p.callback, p.context}});
        } else {
            return TWS_E_INVALIDARG;
        }
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Position& a, const Position& b) { return a.frame < b.frame; });
    positions_ = std::move(sorted);
    stopNotices_ = std::move(stops);
    return TWS_OK;
}

void Ring::passSegment(uint32_t from, uint32_t to, std::vector<Notice>& due) const {
    auto it = std::lower_bound(positions_.begin(), positions_.end(), from,
                               [](const Position& p, uint32_t f) { return p.frame < f; });
    for (; it != positions_.end() && it->frame < to; ++it) due.push_back(it->notice);
}

Ring::Move Ring::advance(uint64_t frames, bool looping, ChunkSink& sink, std::vector<Notice>& due) {
    Move move{0, false};
    while (frames > 0) {
        uint32_t step = static_cast<uint32_t>(std::min<uint64_t>(frames, frames_ - cursor_));
        uint32_t end = cursor_ + step;
        sink.chunk(memory_.get() + static_cast<size_t>(cursor_) * blockAlign_, step * blockAlign_);
        passSegment(cursor_, end, due);
        move.frames += step;
        frames -= step;
        cursor_ = end;
        if (cursor_ == frames_) {
            cursor_ = 0;
            if (!looping) {
                move.ended = true;
                appendStopNotices(due);
                break;
            }
        }
    }
    return move;
}

uint64_t Ring::framesToNextEvent(bool looping) const {
    auto it = std::lower_bound(positions_.begin(), positions_.end(), cursor_,
                               [](const Position& p, uint32_t f) { return p.frame < f; });
    uint64_t toEnd = frames_ - cursor_;
    if (it != positions_.end()) return it->frame + 1 - cursor_;
    if (!looping) return toEnd;
    if (positions_.empty()) return kNoEvent;
    return toEnd + positions_.front().frame + 1;
}

void Ring::appendStopNotices(std::vector<Notice>& due) const {
    due.insert(due.end(), stopNotices_.begin(), stopNotices_.end());
}

}  // namespace tws
