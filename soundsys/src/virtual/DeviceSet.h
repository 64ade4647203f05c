// The simulated devices the virtual driver enumerates.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "driver/Driver.h"
#include "tonewell_sound_virtual.h"

namespace tws {

struct VirtualDeviceDesc {
    Direction direction;
    tws_guid guid;
    std::string description;
    uint32_t capsFlags = 0;
    uint32_t minRate = 0;
    uint32_t maxRate = 0;
    uint32_t formats = 0;
    uint32_t channels = 0;
    uint32_t fixedRate = 0;
};

// The rates spanned by standard capture format bits; false when none is set.
bool captureRateRange(uint32_t formats, uint32_t& minRate, uint32_t& maxRate);

class DeviceSet {
public:
    DeviceSet();

    static std::vector<VirtualDeviceDesc> defaults();
    void useDefaults();
    tws_result replace(const tws_virtual_device* devices, uint32_t count);

    std::vector<VirtualDeviceDesc> list(Direction direction) const;
    // A null or all-zero guid finds the first device of the direction.
    bool find(Direction direction, const tws_guid* guid, VirtualDeviceDesc& out) const;

private:
    mutable std::mutex mutex_;
    std::vector<VirtualDeviceDesc> devices_;
};

}  // namespace tws
