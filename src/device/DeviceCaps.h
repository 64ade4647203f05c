// Capability queries through a temporary sound or capture object.
#pragma once

#include "tonewell_sound.h"

namespace tw {

// Creates the device's object, reads its capabilities (zeroed record with its
// size set), releases the object. Returns the first failing result, or 0.
tws_result queryOutputCaps(const tws_guid* guid, tws_caps* caps);
tws_result queryCaptureCaps(const tws_guid* guid, tws_capture_caps* caps);

}  // namespace tw
