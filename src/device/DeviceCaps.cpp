#include "device/DeviceCaps.h"

#include <cstring>

#include "device/DirectSoundLibrary.h"

namespace tw {

tws_result queryOutputCaps(const tws_guid* guid, tws_caps* caps) {
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof *caps;
    tws_sound* sound = nullptr;
    tws_result r = DirectSoundLibrary::instance().createSound(guid, &sound);
    if (r < 0) return r;
    r = sound->vtbl->get_caps(sound, caps);
    sound->vtbl->release(sound);
    return r;
}

tws_result queryCaptureCaps(const tws_guid* guid, tws_capture_caps* caps) {
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof *caps;
    tws_capture* capture = nullptr;
    tws_result r = DirectSoundLibrary::instance().createCapture(guid, &capture);
    if (r < 0) return r;
    r = capture->vtbl->get_caps(capture, caps);
    capture->vtbl->release(capture);
    return r;
}

}  // namespace tw
