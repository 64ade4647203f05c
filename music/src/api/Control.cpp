// The control interface for tests and tools.
#include "core/Faults.h"
#include "core/LastSegment.h"
#include "core/LiveCounts.h"
#include "core/PerformanceRegistry.h"
#include "synth/Synth.h"
#include "tonewell_music_control.h"

extern "C" {

TWM_EXPORT twm_result twm_control_last_segment(twm_segment_info* info) {
    if (!info) return TWM_E_INVALIDARG;
    twm_segment_info found;
    if (!twm::lastSegment().info(found)) return TWM_FALSE;
    *info = found;
    return TWM_OK;
}

TWM_EXPORT twm_result twm_control_master_volume(int32_t* volume) {
    if (!volume) return TWM_E_INVALIDARG;
    int32_t v;
    if (!twm::performances().newestMasterVolume(v)) return TWM_FALSE;
    *volume = v;
    return TWM_OK;
}

TWM_EXPORT void twm_control_live_counts(twm_control_counts* counts) {
    if (!counts) return;
    twm::LiveCounts& c = twm::liveCounts();
    *counts = {c.loaders.load(), c.performances.load(), c.segments.load(), c.synths.load(),
               c.plays.load(),   c.cached.load(),       c.threads.load()};
}

TWM_EXPORT twm_result twm_control_set_soundfont_dir(const char* directory) {
    twm::Synth::setSoundFontDirectory(directory);
    return TWM_OK;
}

TWM_EXPORT twm_result twm_control_fault(uint32_t operation, twm_result result, int32_t count) {
    return twm::armFault(operation, result, count);
}

TWM_EXPORT void twm_control_clear_faults(void) { twm::clearFaults(); }

}  // extern "C"
