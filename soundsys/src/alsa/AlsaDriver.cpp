#include "alsa/AlsaDriver.h"

#include <alsa/asoundlib.h>

#include "alsa/AlsaDevices.h"
#include "alsa/AlsaHints.h"

namespace tws {

namespace {

constexpr const char* kDefaultName = "default";

void silentHandler(const char*, int, const char*, int, const char*, ...) {}

// The ALSA name for a device id; a null id tries ALSA's default device first,
// then every listed one, and takes the first that opens.
template <typename Device>
tws_result openDevice(Direction direction, const tws_guid* guid, std::shared_ptr<Device>& out,
                      tws_result (*open)(const std::string&, std::shared_ptr<Device>&)) {
    const auto hints = pcmHints(direction);
    if (isNullGuid(guid)) {
        tws_result result = open(kDefaultName, out);
        for (const auto& hint : hints) {
            if (result == TWS_OK) break;
            if (hint.name != kDefaultName) result = open(hint.name, out);
        }
        return result;
    }
    for (const auto& hint : hints)
        if (sameGuid(guidForName(direction, hint.name), *guid)) return open(hint.name, out);
    return TWS_ERR_NODRIVER;
}

}  // namespace

void AlsaDriver::quietAlsa() {
    std::call_once(quiet_, [] { snd_lib_error_set_handler(silentHandler); });
}

tws_result AlsaDriver::enumerate(Direction direction, std::vector<DeviceEntry>& out) {
    quietAlsa();
    for (const auto& hint : pcmHints(direction))
        out.push_back({guidForName(direction, hint.name), hint.description, hint.name});
    return TWS_OK;
}

tws_result AlsaDriver::openOutput(const tws_guid* guid, std::shared_ptr<OutputDevice>& out) {
    quietAlsa();
    return openDevice<OutputDevice>(Direction::Output, guid, out, &AlsaOutputDevice::open);
}

tws_result AlsaDriver::openCapture(const tws_guid* guid, std::shared_ptr<CaptureDevice>& out) {
    quietAlsa();
    return openDevice<CaptureDevice>(Direction::Capture, guid, out, &AlsaCaptureDevice::open);
}

}  // namespace tws
