#include "Devices.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "Failure.h"
#include "Library.h"
#include "hostrt/HostRuntime.h"

namespace cli {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

std::string kind(bool input) { return input ? "capture" : "output"; }

const char* const kListThem = "Run 'tonewell devices' to list them, with what each takes.";

std::string joined(const std::vector<int32_t>& values) {
    std::string s;
    for (size_t i = 0; i < values.size(); ++i) s += (i ? ", " : "") + std::to_string(values[i]);
    return s;
}

std::string names(const std::vector<Device>& devices) {
    if (devices.empty()) return "there are none";
    std::string s = "there are";
    for (const Device& d : devices) s += (d.index ? ", " : " ") + std::to_string(d.index) + " (" + d.name + ")";
    return s;
}

#ifndef _WIN32
bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}
#endif

}  // namespace

std::vector<Device> listDevices(bool input) {
    const hostrt::Exports& lib = api();
    uint8_t flag = input ? 1 : 0;
    int32_t count = 0;
    lib.SoundNumDevices(&flag, &count);
    std::vector<Device> devices;
    for (int32_t i = 0; i < count; ++i) {
        auto channels = hostrt::makeInt32Array();
        auto bits = hostrt::makeInt32Array();
        auto name = hostrt::makeString();
        Device d;
        d.input = input;
        d.index = i;
        d.status = lib.SoundDeviceInfo(i, &flag, channels.get(), bits.get(), &d.minRate, &d.maxRate, name.get());
        d.name = hostrt::readString(name.get());
        d.channels = hostrt::readInt32Array(channels.get());
        d.bits = hostrt::readInt32Array(bits.get());
        devices.push_back(std::move(d));
    }
    return devices;
}

Device chooseDevice(const std::string& choice, bool input) {
    const std::vector<Device> devices = listDevices(input);
    const bool isIndex = !choice.empty() && std::all_of(choice.begin(), choice.end(), [](unsigned char c) {
        return std::isdigit(c);
    });
    if (isIndex) {
        const long index = choice.size() > 9 ? -1 : std::atol(choice.c_str());
        for (const Device& d : devices)
            if (d.index == index) return d;
        throw UsageError("there is no " + kind(input) + " device " + choice + ": " + names(devices) +
                         (devices.empty() ? ". " + whyNoDevices(input) : ""),
                         kListThem);
    }
    const std::string wanted = lower(choice);
    std::vector<Device> matches;
    for (const Device& d : devices) {
        if (lower(d.name) == wanted) return d;
        if (lower(d.name).find(wanted) != std::string::npos) matches.push_back(d);
    }
    if (matches.size() == 1) return matches.front();
    if (matches.empty())
        throw UsageError("no " + kind(input) + " device is named '" + choice + "': " + names(devices), kListThem);
    throw UsageError("'" + choice + "' names more than one " + kind(input) + " device: " + names(matches) +
                     "; give more of the name, or the index", kListThem);
}

void checkRate(const Device& device, double rate) {
    if (device.status != 0 || device.maxRate <= 0) return;  // nothing to check against
    if (rate < device.minRate || rate > device.maxRate) {
        char range[64];
        std::snprintf(range, sizeof range, "%.0f to %.0f Hz", device.minRate, device.maxRate);
        char asked[32];
        std::snprintf(asked, sizeof asked, "%g Hz", rate);
        throw UsageError(std::string(asked) + " is outside the rates of " + describe(device) + ": " + range, kListThem);
    }
}

void checkChannels(const Device& device, int channels) {
    if (device.status != 0 || device.channels.empty()) return;
    if (std::find(device.channels.begin(), device.channels.end(), channels) == device.channels.end())
        throw UsageError(describe(device) + " does not take " + std::to_string(channels) +
                         " channels; it takes " + joined(device.channels), kListThem);
}

void checkBits(const Device& device, int bits) {
    if (device.status != 0 || device.bits.empty()) return;
    if (std::find(device.bits.begin(), device.bits.end(), bits) == device.bits.end())
        throw UsageError(describe(device) + " does not take " + std::to_string(bits) +
                         "-bit samples; it takes " + joined(device.bits) + " bits", kListThem);
}

std::string describe(const Device& device) {
    return kind(device.input) + " device " + std::to_string(device.index) + " (" + device.name + ")";
}

std::string activeDriver() {
    const char* name = std::getenv("TONEWELL_SOUND_DRIVER");
    return name && *name ? name : kSystemDriver;
}

std::string whyNoDevices(bool input) {
#ifdef _WIN32
    (void)input;
    return {};  // DirectSound gives no reason worth telling
#else
    if (activeDriver() != "alsa") return {};
    std::vector<std::string> reasons;
    if (!exists("/dev/snd")) reasons.push_back("this machine has no sound card (/dev/snd does not exist)");
    const char* server = std::getenv("PULSE_SERVER");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string runDir = runtime && *runtime ? runtime : "/run/user/" + std::to_string(::getuid());
    if (!(server && *server) && !exists(runDir + "/pulse/native") && !exists(runDir + "/pipewire-0"))
        reasons.push_back("no sound server is running (PULSE_SERVER is not set and " + runDir +
                          " holds no pulse/native or pipewire-0)");
    std::string text = "The ALSA driver found no " + kind(input) + " device";
    for (size_t i = 0; i < reasons.size(); ++i) text += (i ? " and " : ": ") + reasons[i];
    return text + ". The virtual driver (--driver virtual) gives simulated devices.";
#endif
}

}  // namespace cli
