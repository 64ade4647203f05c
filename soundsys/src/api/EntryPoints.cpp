// The module's four entry points.
#include <new>
#include <vector>

#include "api/Module.h"
#include "core/SoundObject.h"
#include "tonewell_sound.h"

namespace tws {
namespace {

constexpr const char* kPrimaryOutput = "Primary Sound Driver";
constexpr const char* kPrimaryCapture = "Primary Sound Capture Driver";

tws_result enumerate(Direction direction, tws_enum_callback callback, void* context) {
    if (callback == nullptr) return TWS_E_INVALIDARG;
    Driver* driver = activeDriver();
    if (driver == nullptr) return TWS_ERR_NODRIVER;
    std::vector<DeviceEntry> devices;
    if (tws_result r = driver->enumerate(direction, devices)) return r;
    // No lock is held while the callback runs: the list is a copy.
    const char* primary = direction == Direction::Output ? kPrimaryOutput : kPrimaryCapture;
    if (!callback(nullptr, primary, "", context)) return TWS_OK;
    for (const auto& d : devices)
        if (!callback(&d.guid, d.description.c_str(), d.module.c_str(), context)) break;
    return TWS_OK;
}

}  // namespace
}  // namespace tws

extern "C" {

TWS_EXPORT tws_result tws_sound_enumerate(tws_enum_callback callback, void* context) {
    try {
        return tws::enumerate(tws::Direction::Output, callback, context);
    } catch (const std::bad_alloc&) {
        return TWS_E_OUTOFMEMORY;
    }
}

TWS_EXPORT tws_result tws_capture_enumerate(tws_enum_callback callback, void* context) {
    try {
        return tws::enumerate(tws::Direction::Capture, callback, context);
    } catch (const std::bad_alloc&) {
        return TWS_E_OUTOFMEMORY;
    }
}

TWS_EXPORT tws_result tws_sound_create(const tws_guid* device, tws_sound** out) {
    if (out == nullptr) return TWS_E_INVALIDARG;
    *out = nullptr;
    tws::Driver* driver = tws::activeDriver();
    if (driver == nullptr) return TWS_ERR_NODRIVER;
    try {
        std::shared_ptr<tws::OutputDevice> dev;
        if (tws_result r = driver->openOutput(device, dev)) return r;
        *out = new tws::SoundObject(std::move(dev), *driver);
        return TWS_OK;
    } catch (const std::bad_alloc&) {
        return TWS_E_OUTOFMEMORY;
    }
}

TWS_EXPORT tws_result tws_capture_create(const tws_guid* device, tws_capture** out) {
    if (out == nullptr) return TWS_E_INVALIDARG;
    *out = nullptr;
    tws::Driver* driver = tws::activeDriver();
    if (driver == nullptr) return TWS_ERR_NODRIVER;
    try {
        std::shared_ptr<tws::CaptureDevice> dev;
        if (tws_result r = driver->openCapture(device, dev)) return r;
        *out = new tws::CaptureObject(std::move(dev), *driver);
        return TWS_OK;
    } catch (const std::bad_alloc&) {
        return TWS_E_OUTOFMEMORY;
    }
}

}  // extern "C"
