#include "core/Segment.h"

#include <cstring>

#include "api/Tables.h"
#include "core/Faults.h"
#include "core/LastSegment.h"
#include "core/LiveCounts.h"

namespace twm {

namespace {
std::atomic<uint64_t> nextSegmentId{1};

void copyText(char* dest, const std::string& text) {
    size_t n = std::min<size_t>(text.size(), TWM_MAX_PATH);
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
}
}  // namespace

Segment::Segment(std::shared_ptr<const Content> content, std::string path, std::string searchDirectory)
    : id_(nextSegmentId++), content_(std::move(content)), path_(std::move(path)),
      searchDirectory_(std::move(searchDirectory)) {
    static const twm_segment_vtbl* table = segmentTable();
    vtbl = table;
    liveCounts().segments++;
    lastSegment().set(this);
}

Segment::~Segment() {
    lastSegment().forget(this);
    liveCounts().segments--;
}

int32_t Segment::markStandardMidi() {
    if (int32_t f = injectedFault(TWM_FAULT_MARK)) return f;
    std::lock_guard<std::mutex> lock(mutex_);
    marked_ = true;
    return TWM_OK;
}

int32_t Segment::setRepeats(uint32_t repeats) {
    if (int32_t f = injectedFault(TWM_FAULT_REPEATS)) return f;
    return repeats == 0 ? TWM_OK : TWM_E_INVALIDARG;
}

int32_t Segment::setStartPoint(int64_t ticks) {
    if (int32_t f = injectedFault(TWM_FAULT_SET_START_POINT)) return f;
    if (ticks < 0 || ticks > content_->lengthTicks()) return TWM_E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    startPoint_ = ticks;
    return TWM_OK;
}

int32_t Segment::getStartPoint(int64_t* ticks) const {
    if (int32_t f = injectedFault(TWM_FAULT_GET_START_POINT)) return f;
    if (!ticks) return TWM_E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    *ticks = startPoint_;
    return TWM_OK;
}

int32_t Segment::durationMs(uint32_t* ms) const {
    if (!ms) return TWM_E_INVALIDARG;
    int64_t start;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        start = startPoint_;
    }
    // A song can run for longer than milliseconds in 32 bits can count, and
    // its frames times 1000 can pass 2^63: whole seconds first, then the rest.
    const uint64_t frames = static_cast<uint64_t>(content_->framesFrom(start)), rate = content_->rate();
    const uint64_t seconds = frames / rate;
    if (seconds > UINT32_MAX / 1000) {
        *ms = UINT32_MAX;
        return TWM_OK;
    }
    const uint64_t value = seconds * 1000 + frames % rate * 1000 / rate;
    *ms = value > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(value);
    return TWM_OK;
}

int32_t Segment::download(uint64_t performanceId) {
    if (int32_t f = injectedFault(TWM_FAULT_DOWNLOAD)) return f;
    std::lock_guard<std::mutex> lock(mutex_);
    Download& d = downloads_[performanceId];
    if (content_->kind == TWM_KIND_MIDI && !d.synth) {
        std::unique_ptr<Synth> synth;
        int32_t r = Synth::create(synth);
        if (r != TWM_OK) {
            if (d.count == 0) downloads_.erase(performanceId);
            return r;
        }
        d.synth = std::move(synth);
    }
    d.count++;
    return TWM_OK;
}

int32_t Segment::unload(uint64_t performanceId) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = downloads_.find(performanceId);
    if (it == downloads_.end()) return TWM_E_INVALIDARG;
    // A play still rendering keeps its synthesizer until it ends.
    if (--it->second.count == 0) downloads_.erase(it);
    return TWM_OK;
}

int32_t Segment::playSetup(uint64_t performanceId, PlaySetup& out) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = downloads_.find(performanceId);
    if (it == downloads_.end()) return TWM_E_NOTDOWNLOADED;
    out.segmentId = id_;
    out.content = content_;
    out.synth = it->second.synth;
    out.status = status_;
    out.generalMidi = marked_;
    out.startTick = startPoint_;
    return TWM_OK;
}

void Segment::info(twm_segment_info& out) const {
    out = twm_segment_info{};
    out.kind = content_->kind;
    out.length_ticks = content_->lengthTicks();
    durationMs(&out.duration_ms);
    out.playing = status_->playing.load();
    out.plays = status_->plays.load();
    copyText(out.path, path_);
    copyText(out.search_directory, searchDirectory_);
    std::lock_guard<std::mutex> lock(mutex_);
    out.standard_midi = marked_;
    for (const auto& [id, d] : downloads_) out.downloads += d.count;
}

}  // namespace twm
