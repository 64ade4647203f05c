// Task factories whose task classes are still being built. Each moves to its
// subsystem's folder when that lands; until then the device is refused.
#include "core/ErrorCodes.h"
#include "device/SoundDevice.h"

namespace tw {

}  // namespace tw
