#include "device/DeviceEnumerator.h"

#include "core/ErrorCodes.h"
#include "device/DeviceCaps.h"
#include "device/DirectSoundLibrary.h"

namespace tw {
namespace {

// The probe: a device counts only if it opens and answers its capabilities.
int32_t outputCallback(const tws_guid* guid, const char* description, const char* module, void* context) {
    if (!guid) return 1;  // the primary driver names no device
    tws_caps caps;
    if (queryOutputCaps(guid, &caps) < 0) return 1;
    auto* device = new OutputDevice(guid);
    device->setName(description, module);
    static_cast<RefnumRegistry<OutputDevice>*>(context)->add(device);
    return 1;
}

int32_t captureCallback(const tws_guid* guid, const char* description, const char* module, void* context) {
    if (!guid) return 1;
    tws_capture_caps caps;
    if (queryCaptureCaps(guid, &caps) < 0) return 1;
    auto* device = new InputDevice(guid);
    device->setName(description, module);
    static_cast<RefnumRegistry<InputDevice>*>(context)->add(device);
    return 1;
}

}  // namespace

int32_t enumerateDevices(RefnumRegistry<InputDevice>& captures, RefnumRegistry<OutputDevice>& outputs) {
    captures.removeAll();
    outputs.removeAll();
    DirectSoundLibrary& library = DirectSoundLibrary::instance();
    tws_result captureResult = library.enumerateCaptures(captureCallback, &captures);
    tws_result outputResult = library.enumerateOutputs(outputCallback, &outputs);
    if (captureResult < 0 || outputResult < 0) {
        captures.removeAll();
        outputs.removeAll();
        return err::kEnumeration;
    }
    return err::kOk;
}

}  // namespace tw
