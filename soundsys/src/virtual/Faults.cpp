#include "virtual/Faults.h"

#include <algorithm>

namespace tws {

tws_result Faults::setEnumeration(uint32_t directions, tws_result result) {
    if (result > 0 || (directions & ~(TWS_VIRTUAL_OUTPUT | TWS_VIRTUAL_CAPTURE))) return TWS_E_INVALIDARG;
    std::lock_guard lock(mutex_);
    if (directions & TWS_VIRTUAL_OUTPUT) enumerationOutput_ = result;
    if (directions & TWS_VIRTUAL_CAPTURE) enumerationCapture_ = result;
    return TWS_OK;
}

tws_result Faults::enumeration(Direction direction) const {
    std::lock_guard lock(mutex_);
    return direction == Direction::Output ? enumerationOutput_ : enumerationCapture_;
}

tws_result Faults::setDevice(const tws_guid* device, uint32_t operation, tws_result result,
                             int32_t count) {
    if (result > 0 || (operation != TWS_VIRTUAL_DEVICE_CREATE && operation != TWS_VIRTUAL_DEVICE_CAPS))
        return TWS_E_INVALIDARG;
    const bool every = device == nullptr;
    const tws_guid guid = every ? tws_guid{} : *device;
    std::lock_guard lock(mutex_);
    std::erase_if(devices_, [&](const DeviceFault& f) {
        return f.operation == operation && f.everyDevice == every && (every || sameGuid(f.guid, guid));
    });
    if (result != TWS_OK && count != 0) devices_.push_back({every, guid, operation, result, count});
    return TWS_OK;
}

tws_result Faults::device(const tws_guid& device, uint32_t operation) {
    std::lock_guard lock(mutex_);
    // A fault for this very device wins over one for every device.
    auto pick = devices_.end();
    for (auto it = devices_.begin(); it != devices_.end(); ++it) {
        if (it->operation != operation) continue;
        if (!it->everyDevice && sameGuid(it->guid, device)) {
            pick = it;
            break;
        }
        if (it->everyDevice && pick == devices_.end()) pick = it;
    }
    if (pick == devices_.end()) return TWS_OK;
    tws_result result = pick->result;
    if (pick->count > 0 && --pick->count == 0) devices_.erase(pick);
    return result;
}

tws_result Faults::setMethod(uint32_t method, uint32_t directions, tws_result result, uint32_t count) {
    if (method == 0 || method >= TWS_VIRTUAL_METHOD_COUNT || result > 0) return TWS_E_INVALIDARG;
    std::lock_guard lock(mutex_);
    auto& fault = methods_[method];
    bool wasArmed = fault.count > 0;
    fault = result == TWS_OK ? MethodFault{} : MethodFault{directions, result, count};
    bool armed = fault.count > 0;
    if (armed && !wasArmed) armedMethods_.fetch_add(1);
    if (!armed && wasArmed) armedMethods_.fetch_sub(1);
    return TWS_OK;
}

tws_result Faults::method(Method method, Direction direction) {
    if (armedMethods_.load(std::memory_order_acquire) == 0) return TWS_OK;
    std::lock_guard lock(mutex_);
    auto& fault = methods_[static_cast<uint32_t>(method)];
    if (fault.count == 0 || !(fault.directions & static_cast<uint32_t>(direction))) return TWS_OK;
    if (--fault.count == 0) armedMethods_.fetch_sub(1);
    return fault.result;
}

void Faults::clear() {
    std::lock_guard lock(mutex_);
    enumerationOutput_ = enumerationCapture_ = TWS_OK;
    devices_.clear();
    methods_ = {};
    armedMethods_.store(0);
}

}  // namespace tws
