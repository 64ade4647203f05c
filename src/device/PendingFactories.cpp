// Task factories whose task classes are still being built. Each moves to its
// subsystem's folder when that lands; until then the device is refused.
#include "core/ErrorCodes.h"
#include "device/SoundDevice.h"

namespace tw {

int32_t OutputDevice::createMidiTask(const char*, OutputConfiguration** out) {
    *out = nullptr;
    return err::kNoDevice;
}

int32_t OutputDevice::createOutputTask(int32_t, double*, uint32_t*, uint32_t*, int32_t, OutputConfiguration** out) {
    *out = nullptr;
    return err::kNoDevice;
}

int32_t InputDevice::createInputTask(int32_t, double*, uint32_t*, uint32_t*, int32_t, InputConfiguration** out) {
    *out = nullptr;
    return err::kNoDevice;
}

}  // namespace tw
