// The module's C interface: entry points and the function tables of its
// objects, each a thin forwarder that refuses null arguments.
#include <new>

#include "api/Tables.h"
#include "core/Loader.h"
#include "core/Performance.h"
#include "core/Segment.h"

namespace twm {

namespace {

// ---- Loader ----------------------------------------------------------------

void loaderRelease(twm_loader* self) { delete Loader::from(self); }

twm_result loaderSetSearchDirectory(twm_loader* self, const char* directory) {
    return self ? Loader::from(self)->setSearchDirectory(directory) : TWM_E_INVALIDARG;
}

twm_result loaderLoadSegment(twm_loader* self, const char* path, twm_segment** out) {
    if (!self || !out) return TWM_E_INVALIDARG;
    Segment* segment = nullptr;
    twm_result r = Loader::from(self)->load(path, &segment);
    *out = segment;
    return r;
}

twm_result loaderReleaseCached(twm_loader* self, twm_segment* segment) {
    return self ? Loader::from(self)->releaseCached(Segment::from(segment)) : TWM_E_INVALIDARG;
}

twm_result loaderCollectGarbage(twm_loader* self) {
    return self ? Loader::from(self)->collectGarbage() : TWM_E_INVALIDARG;
}

// ---- Segment ---------------------------------------------------------------

void segmentRelease(twm_segment* self) { delete Segment::from(self); }

twm_result segmentSetStandardMidi(twm_segment* self) {
    return self ? Segment::from(self)->markStandardMidi() : TWM_E_INVALIDARG;
}

twm_result segmentSetRepeats(twm_segment* self, uint32_t repeats) {
    return self ? Segment::from(self)->setRepeats(repeats) : TWM_E_INVALIDARG;
}

twm_result segmentSetStartPoint(twm_segment* self, int64_t ticks) {
    return self ? Segment::from(self)->setStartPoint(ticks) : TWM_E_INVALIDARG;
}

twm_result segmentGetStartPoint(twm_segment* self, int64_t* ticks) {
    return self ? Segment::from(self)->getStartPoint(ticks) : TWM_E_INVALIDARG;
}

twm_result segmentGetLength(twm_segment* self, int64_t* ticks) {
    if (!self || !ticks) return TWM_E_INVALIDARG;
    *ticks = Segment::from(self)->content()->lengthTicks();
    return TWM_OK;
}

twm_result segmentGetDurationMs(twm_segment* self, uint32_t* ms) {
    return self ? Segment::from(self)->durationMs(ms) : TWM_E_INVALIDARG;
}

twm_result segmentDownload(twm_segment* self, twm_performance* performance) {
    if (!self || !performance) return TWM_E_INVALIDARG;
    return Segment::from(self)->download(Performance::from(performance)->id());
}

twm_result segmentUnload(twm_segment* self, twm_performance* performance) {
    if (!self || !performance) return TWM_E_INVALIDARG;
    return Segment::from(self)->unload(Performance::from(performance)->id());
}

// ---- Performance -----------------------------------------------------------

void performanceRelease(twm_performance* self) { delete Performance::from(self); }

twm_result performanceInitAudio(twm_performance* self) {
    return self ? Performance::from(self)->initAudio() : TWM_E_INVALIDARG;
}

twm_result performancePlaySegment(twm_performance* self, twm_segment* segment) {
    if (!self || !segment) return TWM_E_INVALIDARG;
    return Performance::from(self)->play(Segment::from(segment));
}

twm_result performanceIsPlaying(twm_performance* self, twm_segment* segment) {
    if (!self || !segment) return TWM_E_INVALIDARG;
    return Performance::from(self)->isPlaying(Segment::from(segment));
}

twm_result performanceStop(twm_performance* self, twm_segment* segment) {
    if (!self || !segment) return TWM_E_INVALIDARG;
    return Performance::from(self)->stop(Segment::from(segment));
}

twm_result performanceSetMasterVolume(twm_performance* self, int32_t volume) {
    return self ? Performance::from(self)->setMasterVolume(volume) : TWM_E_INVALIDARG;
}

twm_result performanceGetMasterVolume(twm_performance* self, int32_t* volume) {
    return self ? Performance::from(self)->getMasterVolume(volume) : TWM_E_INVALIDARG;
}

twm_result performanceGetTime(twm_performance* self, int64_t* ticks) {
    return self ? Performance::from(self)->getTime(ticks) : TWM_E_INVALIDARG;
}

const twm_loader_vtbl kLoaderTable = {loaderRelease, loaderSetSearchDirectory, loaderLoadSegment,
                                      loaderReleaseCached, loaderCollectGarbage};
const twm_segment_vtbl kSegmentTable = {segmentRelease,      segmentSetStandardMidi, segmentSetRepeats,
                                        segmentSetStartPoint, segmentGetStartPoint,   segmentGetLength,
                                        segmentGetDurationMs, segmentDownload,        segmentUnload};
const twm_performance_vtbl kPerformanceTable = {performanceRelease,         performanceInitAudio,
                                                performancePlaySegment,     performanceIsPlaying,
                                                performanceStop,            performanceSetMasterVolume,
                                                performanceGetMasterVolume, performanceGetTime};

}  // namespace

const twm_loader_vtbl* loaderTable() { return &kLoaderTable; }
const twm_segment_vtbl* segmentTable() { return &kSegmentTable; }
const twm_performance_vtbl* performanceTable() { return &kPerformanceTable; }

}  // namespace twm

extern "C" {

TWM_EXPORT twm_result twm_loader_create(twm_loader** out) {
    if (!out) return TWM_E_INVALIDARG;
    *out = new (std::nothrow) twm::Loader();
    return *out ? TWM_OK : TWM_E_OUTOFMEMORY;
}

TWM_EXPORT twm_result twm_performance_create(twm_performance** out) {
    if (!out) return TWM_E_INVALIDARG;
    *out = new (std::nothrow) twm::Performance();
    return *out ? TWM_OK : TWM_E_OUTOFMEMORY;
}

}  // extern "C"
