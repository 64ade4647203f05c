#include "device/DeviceCaps.h"

#include <cstring>

#include "device/DirectSoundLibrary.h"

namespace tw {

namespace {

// `create` makes the object through the loader; both object kinds have the
// same get_caps and release entries.
template <class Object, class Caps>
tws_result queryCaps(tws_result (DirectSoundLibrary::*create)(const tws_guid*, Object**), const tws_guid* guid,
                     Caps* caps) {
    std::memset(caps, 0, sizeof *caps);
    caps->dwSize = sizeof *caps;
    Object* object = nullptr;
    tws_result r = (DirectSoundLibrary::instance().*create)(guid, &object);
    if (r < 0) return r;
    r = object->vtbl->get_caps(object, caps);
    object->vtbl->release(object);
    return r;
}

}  // namespace

tws_result queryOutputCaps(const tws_guid* guid, tws_caps* caps) {
    return queryCaps(&DirectSoundLibrary::createSound, guid, caps);
}

tws_result queryCaptureCaps(const tws_guid* guid, tws_capture_caps* caps) {
    return queryCaps(&DirectSoundLibrary::createCapture, guid, caps);
}

}  // namespace tw
