// Function tables of the engine's C objects (defined with the entry points).
#pragma once

#include "tonewell_music.h"

namespace twm {

const twm_loader_vtbl* loaderTable();
const twm_segment_vtbl* segmentTable();
const twm_performance_vtbl* performanceTable();

}  // namespace twm
