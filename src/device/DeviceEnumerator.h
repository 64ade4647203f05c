// Fills the two device tables from the sound system's enumeration.
#pragma once

#include <cstdint>

#include "core/RefnumRegistry.h"
#include "device/SoundDevice.h"

namespace tw {

// Empties both tables and enumerates capture, then output devices. A device
// that fails its probe is left out. 0, or 37 (both tables emptied again) when
// either enumeration failed.
int32_t enumerateDevices(RefnumRegistry<InputDevice>& captures, RefnumRegistry<OutputDevice>& outputs);

}  // namespace tw
