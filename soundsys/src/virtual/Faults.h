// Failures the control API injects into the virtual driver.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "driver/Driver.h"
#include "tonewell_sound_virtual.h"

namespace tws {

class Faults {
public:
    tws_result setEnumeration(uint32_t directions, tws_result result);
    tws_result enumeration(Direction direction) const;

    tws_result setDevice(const tws_guid* device, uint32_t operation, tws_result result,
                         int32_t count);
    // The injected result for this call of the operation, consuming it.
    tws_result device(const tws_guid& device, uint32_t operation);

    tws_result setMethod(uint32_t method, uint32_t directions, tws_result result, uint32_t count);
    tws_result method(Method method, Direction direction);

    void clear();

private:
    struct DeviceFault {
        bool everyDevice;
        tws_guid guid;
        uint32_t operation;
        tws_result result;
        int32_t count;  // < 0: until cleared
    };
    struct MethodFault {
        uint32_t directions = 0;
        tws_result result = TWS_OK;
        uint32_t count = 0;
    };

    mutable std::mutex mutex_;
    tws_result enumerationOutput_ = TWS_OK;
    tws_result enumerationCapture_ = TWS_OK;
    std::vector<DeviceFault> devices_;
    std::array<MethodFault, TWS_VIRTUAL_METHOD_COUNT> methods_{};
    std::atomic<uint32_t> armedMethods_{0};  // keeps the unfaulted path lock-free
};

}  // namespace tws
