// The module runtime: the driver chosen by TONEWELL_SOUND_DRIVER when the
// module loads, and the objects that live as long as the module.
#pragma once

#include "driver/Driver.h"

namespace tws {

class VirtualDriver;

// The active driver, or null when the setting names no usable driver.
Driver* activeDriver();
// The virtual driver, whatever driver is active (the control API's target).
VirtualDriver& virtualDriver();

}  // namespace tws
