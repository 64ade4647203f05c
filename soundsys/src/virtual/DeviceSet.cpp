#include "virtual/DeviceSet.h"

namespace tws {

namespace {

constexpr uint32_t kGroupRates[5] = {11025, 22050, 44100, 48000, 96000};
constexpr uint32_t kAllSizes = TWS_CAPS_PRIMARYMONO | TWS_CAPS_PRIMARYSTEREO | TWS_CAPS_PRIMARY8BIT |
                               TWS_CAPS_PRIMARY16BIT | TWS_CAPS_SECONDARYMONO |
                               TWS_CAPS_SECONDARYSTEREO | TWS_CAPS_SECONDARY8BIT |
                               TWS_CAPS_SECONDARY16BIT;
constexpr uint32_t kStereo16 = TWS_CAPS_PRIMARYSTEREO | TWS_CAPS_PRIMARY16BIT |
                               TWS_CAPS_SECONDARYSTEREO | TWS_CAPS_SECONDARY16BIT;

}  // namespace

bool captureRateRange(uint32_t formats, uint32_t& minRate, uint32_t& maxRate) {
    bool any = false;
    for (int g = 0; g < 5; ++g) {
        if (((formats >> (4 * g)) & 0xF) == 0) continue;
        if (!any) minRate = kGroupRates[g];
        maxRate = kGroupRates[g];
        any = true;
    }
    return any;
}

std::vector<VirtualDeviceDesc> DeviceSet::defaults() {
    std::vector<VirtualDeviceDesc> list;
    list.push_back({Direction::Output, TWS_VIRTUAL_OUTPUT1_GUID_INIT, "Virtual Output 1",
                    kAllSizes | TWS_CAPS_CONTINUOUSRATE, 100, 200000, 0, 0, 0});
    list.push_back({Direction::Output, TWS_VIRTUAL_OUTPUT2_GUID_INIT, "Virtual Output 2",
                    kStereo16 | TWS_CAPS_CONTINUOUSRATE, 8000, 48000, 0, 0, 0});
    list.push_back({Direction::Capture, TWS_VIRTUAL_INPUT1_GUID_INIT, "Virtual Input 1", 0, 0, 0,
                    TWS_FORMAT_ALL, 2, 0});
    list.push_back({Direction::Capture, TWS_VIRTUAL_INPUT2_GUID_INIT, "Virtual Input 2", 0, 0, 0,
                    TWS_FORMAT_4S16, 2, 44100});
    return list;
}

DeviceSet::DeviceSet() : devices_(defaults()) {}

void DeviceSet::useDefaults() {
    auto list = defaults();
    std::lock_guard lock(mutex_);
    devices_ = std::move(list);
}

tws_result DeviceSet::replace(const tws_virtual_device* devices, uint32_t count) {
    if (count > 0 && devices == nullptr) return TWS_E_INVALIDARG;
    std::vector<VirtualDeviceDesc> list;
    for (uint32_t i = 0; i < count; ++i) {
        const auto& d = devices[i];
        if (d.direction != TWS_VIRTUAL_OUTPUT && d.direction != TWS_VIRTUAL_CAPTURE)
            return TWS_E_INVALIDARG;
        if (d.description == nullptr || isNullGuid(&d.guid)) return TWS_E_INVALIDARG;
        auto direction = static_cast<Direction>(d.direction);
        if (direction == Direction::Output && (d.min_rate == 0 || d.min_rate > d.max_rate))
            return TWS_E_INVALIDARG;
        for (const auto& other : list)
            if (other.direction == direction && sameGuid(other.guid, d.guid)) return TWS_E_INVALIDARG;
        list.push_back({direction, d.guid, d.description, d.caps_flags, d.min_rate, d.max_rate,
                        d.formats, d.channels, d.fixed_rate});
    }
    std::lock_guard lock(mutex_);
    devices_ = std::move(list);
    return TWS_OK;
}

std::vector<VirtualDeviceDesc> DeviceSet::list(Direction direction) const {
    std::lock_guard lock(mutex_);
    std::vector<VirtualDeviceDesc> out;
    for (const auto& d : devices_)
        if (d.direction == direction) out.push_back(d);
    return out;
}

bool DeviceSet::find(Direction direction, const tws_guid* guid, VirtualDeviceDesc& out) const {
    std::lock_guard lock(mutex_);
    for (const auto& d : devices_) {
        if (d.direction != direction) continue;
        if (isNullGuid(guid) || sameGuid(d.guid, *guid)) {
            out = d;
            return true;
        }
    }
    return false;
}

}  // namespace tws
