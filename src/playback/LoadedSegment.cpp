#include "playback/LoadedSegment.h"

#include "core/ErrorCodes.h"
#include "playback/DirectMusicContext.h"

namespace tw {

int32_t LoadedSegment::create(const char* path, bool download, bool isMidi, std::shared_ptr<LoadedSegment>& out) {
    DirectMusicContext& context = DirectMusicContext::instance();
    twm_segment* segment = nullptr;
    int32_t r = context.loadObjectFromFile(path, &segment);
    if (r < 0 || !segment) return r < 0 ? r : hr::kFail;
    out.reset(new LoadedSegment(segment, context.loader(), context.performance()));
    if (isMidi) {
        r = segment->vtbl->set_standard_midi(segment);
        if (r < 0) return r;
    }
    if (download) {
        if (!out->performance_) return hr::kNotInitialized;
        r = segment->vtbl->download(segment, out->performance_);
        if (r < 0) return r;
        out->downloaded_ = true;
    }
    return TWM_OK;
}

LoadedSegment::LoadedSegment(twm_segment* segment, twm_loader* loader, twm_performance* performance)
    : segment_(segment), loader_(loader), performance_(performance) {}

LoadedSegment::~LoadedSegment() {
    if (!segment_) return;
    if (loader_) loader_->vtbl->release_cached(loader_, segment_);
    if (downloaded_ && performance_) segment_->vtbl->unload(segment_, performance_);
    segment_->vtbl->release(segment_);
    performance_ = nullptr;
}

int32_t LoadedSegment::play() {
    if (!segment_ || !performance_) return hr::kNotInitialized;
    if (!downloaded_) return hr::kFail;
    return performance_->vtbl->play_segment(performance_, segment_);
}

bool LoadedSegment::isPlaying() {
    return performance_ && performance_->vtbl->is_playing(performance_, segment_) == TWM_OK;
}

int32_t LoadedSegment::stop() {
    return performance_ ? performance_->vtbl->stop(performance_, segment_) : hr::kNotInitialized;
}

int32_t LoadedSegment::setRepeats(uint32_t repeats) { return segment_->vtbl->set_repeats(segment_, repeats); }

int32_t LoadedSegment::setStartPoint(int64_t musicTime) {
    return segment_->vtbl->set_start_point(segment_, musicTime);
}

int32_t LoadedSegment::getStartPoint(int64_t* musicTime) {
    return segment_->vtbl->get_start_point(segment_, musicTime);
}

uint32_t LoadedSegment::durationMs() {
    uint32_t ms = 0;
    return segment_->vtbl->get_duration_ms(segment_, &ms) == TWM_OK ? ms : 0;
}

}  // namespace tw
