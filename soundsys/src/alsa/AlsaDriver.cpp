#include "alsa/AlsaDriver.h"

#include <alsa/asoundlib.h>

#include "alsa/AlsaDevices.h"
#include "alsa/AlsaHints.h"

namespace tws {

namespace {

constexpr const char* kDefaultName = "default";

void silentHandler(const char*, int, const char*, int, const char*, ...) {}

size_t slot(Direction direction) { return direction == Direction::Output ? 0 : 1; }

}  // namespace

void AlsaDriver::quietAlsa() {
    std::call_once(quiet_, [] { snd_lib_error_set_handler(silentHandler); });
}

std::vector<std::string> AlsaDriver::refresh(Direction direction) {
    std::vector<std::string> names;
    for (const auto& hint : pcmHints(direction)) names.push_back(hint.name);
    std::lock_guard lock(mutex_);
    names_[slot(direction)] = names;
    return names;
}

bool AlsaDriver::nameOf(Direction direction, const tws_guid& guid, std::string& name) {
    std::lock_guard lock(mutex_);
    for (const auto& n : names_[slot(direction)]) {
        if (sameGuid(guidForName(direction, n), guid)) {
            name = n;
            return true;
        }
    }
    return false;
}

// A null id tries ALSA's default device first, then every listed one, and
// takes the first that opens.
template <typename Device>
tws_result AlsaDriver::openDevice(Direction direction, const tws_guid* guid,
                                  std::shared_ptr<Device>& out,
                                  tws_result (*open)(const std::string&, std::shared_ptr<Device>&)) {
    quietAlsa();
    if (isNullGuid(guid)) {
        tws_result result = open(kDefaultName, out);
        if (result == TWS_OK) return result;
        for (const auto& name : refresh(direction)) {
            if (name != kDefaultName && (result = open(name, out)) == TWS_OK) break;
        }
        return result;
    }
    std::string name;
    if (!nameOf(direction, *guid, name)) {
        refresh(direction);
        if (!nameOf(direction, *guid, name)) return TWS_ERR_NODRIVER;
    }
    return open(name, out);
}

tws_result AlsaDriver::enumerate(Direction direction, std::vector<DeviceEntry>& out) {
    quietAlsa();
    std::vector<std::string> names;
    for (const auto& hint : pcmHints(direction)) {
        out.push_back({guidForName(direction, hint.name), hint.description, hint.name});
        names.push_back(hint.name);
    }
    std::lock_guard lock(mutex_);
    names_[slot(direction)] = std::move(names);
    return TWS_OK;
}

tws_result AlsaDriver::openOutput(const tws_guid* guid, std::shared_ptr<OutputDevice>& out) {
    return openDevice<OutputDevice>(Direction::Output, guid, out, &AlsaOutputDevice::open);
}

tws_result AlsaDriver::openCapture(const tws_guid* guid, std::shared_ptr<CaptureDevice>& out) {
    return openDevice<CaptureDevice>(Direction::Capture, guid, out, &AlsaCaptureDevice::open);
}

}  // namespace tws
