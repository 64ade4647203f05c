// SoundDeviceInfo: a device's channel counts, sample sizes, rate range and
// name, decoded from its capabilities.
#pragma once

#include <cstdint>
#include <vector>

#include "tonewell/tonewell.h"
#include "tonewell_sound.h"

namespace tw {

struct DeviceCapabilities {
    std::vector<int32_t> channels;
    std::vector<int32_t> bits;
    double minRate = 0.0;
    double maxRate = 0.0;
};

DeviceCapabilities decodeOutputCaps(const tws_caps& caps);
// A capture device with none of the 20 standard format bits reports rates 0.
DeviceCapabilities decodeCaptureCaps(const tws_capture_caps& caps);

int32_t queryDeviceInfo(int32_t index, bool input, TwArrayHandle channels, TwArrayHandle bits,
                        double* minRate, double* maxRate, TwStringHandle name);

}  // namespace tw
