#include "device/DeviceInfo.h"

#include "core/ErrorCodes.h"
#include "device/DeviceCaps.h"
#include "device/DeviceManager.h"
#include "host/HostData.h"

#include <string>

namespace tw {
namespace {

// Flag values as the output capability record reports them.
constexpr uint32_t kMono = 0x100, kStereo = 0x200, k8Bit = 0x400, k16Bit = 0x800;
constexpr double kGroupRates[5] = {11025.0, 22050.0, 44100.0, 48000.0, 96000.0};
constexpr uint32_t kAny8Bit = 0x33333, kAny16Bit = 0xCCCCC;
// A device cannot usefully claim more; keeps a bogus count from sizing a
// huge host array.
constexpr uint32_t kMaxChannels = 256;

}  // namespace

DeviceCapabilities decodeOutputCaps(const tws_caps& caps) {
    DeviceCapabilities d;
    d.minRate = caps.dwMinSecondarySampleRate;
    d.maxRate = caps.dwMaxSecondarySampleRate;
    if (caps.dwFlags & kMono) d.channels.push_back(1);
    if (caps.dwFlags & kStereo) d.channels.push_back(2);
    if (caps.dwFlags & k8Bit) d.bits.push_back(8);
    if (caps.dwFlags & k16Bit) d.bits.push_back(16);
    return d;
}

DeviceCapabilities decodeCaptureCaps(const tws_capture_caps& caps) {
    DeviceCapabilities d;
    int lowest = -1, highest = -1;
    for (int g = 0; g < 5; ++g) {
        if ((caps.dwFormats >> (4 * g)) & 0xF) {
            if (lowest < 0) lowest = g;
            highest = g;
        }
    }
    if (lowest >= 0) {
        d.minRate = kGroupRates[lowest];
        d.maxRate = kGroupRates[highest];
    }
    uint32_t n = caps.dwChannels < kMaxChannels ? caps.dwChannels : kMaxChannels;
    for (uint32_t c = 1; c <= n; ++c) d.channels.push_back(static_cast<int32_t>(c));
    if (caps.dwFormats & kAny8Bit) d.bits.push_back(8);
    if (caps.dwFormats & kAny16Bit) d.bits.push_back(16);
    return d;
}

int32_t queryDeviceInfo(int32_t index, bool input, TwArrayHandle channels, TwArrayHandle bits,
                        double* minRate, double* maxRate, TwStringHandle name) {
    DeviceManager* manager = DeviceManager::instance();
    SoundDevice* device = nullptr;
    int32_t code = input ? manager->acquireInputDevice(index, &device)
                         : manager->acquireOutputDevice(index, &device);
    const char* deviceName = "";
    if (device) {
        if (device->getName()) deviceName = device->getName();
        DeviceCapabilities caps;
        if (input) {
            tws_capture_caps raw;
            code = queryCaptureCaps(device->getGuid(), &raw) < 0 ? err::kDevice : err::kOk;
            if (code == 0) caps = decodeCaptureCaps(raw);
        } else {
            tws_caps raw;
            code = queryOutputCaps(device->getGuid(), &raw) < 0 ? err::kDevice : err::kOk;
            if (code == 0) caps = decodeOutputCaps(raw);
        }
        if (code == 0) {
            if (minRate) *minRate = caps.minRate;
            if (maxRate) *maxRate = caps.maxRate;
            // Resize results are ignored here, as for the empty arrays below.
            host::writeInt32Array(channels, caps.channels.data(), static_cast<int32_t>(caps.channels.size()));
            host::writeInt32Array(bits, caps.bits.data(), static_cast<int32_t>(caps.bits.size()));
        }
    }
    // The name is copied before the device is released: the table owns it.
    std::string nameCopy = deviceName;
    if (input) {
        manager->releaseInputDevice(index);
    } else {
        manager->releaseOutputDevice(index);
    }
    if (code != 0) {
        host::writeInt32Array(channels, nullptr, 0);
        host::writeInt32Array(bits, nullptr, 0);
        if (minRate) *minRate = 0.0;
        if (maxRate) *maxRate = 0.0;
    }
    // The first failure is reported: the query's, else the name's resize.
    const int32_t nameResult = host::writeString(name, nameCopy.c_str());
    return code != 0 ? code : nameResult;
}

}  // namespace tw
