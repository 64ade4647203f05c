// The virtual driver: a device simulation with a clock thread, output taps,
// a counter signal for capture, and faults injected through the control API.
#pragma once

#include <mutex>
#include <vector>

#include "driver/Driver.h"
#include "virtual/Clock.h"
#include "virtual/DeviceSet.h"
#include "virtual/Faults.h"
#include "virtual/TapStore.h"

namespace tws {

class VirtualStream;

class VirtualDriver final : public Driver {
public:
    VirtualDriver();

    tws_result enumerate(Direction direction, std::vector<DeviceEntry>& out) override;
    tws_result openOutput(const tws_guid* guid, std::shared_ptr<OutputDevice>& out) override;
    tws_result openCapture(const tws_guid* guid, std::shared_ptr<CaptureDevice>& out) override;
    tws_result methodFault(Method method, Direction direction) override;

    DeviceSet& devices() { return devices_; }
    Faults& faults() { return faults_; }
    TapStore& taps() { return taps_; }
    Clock& clock() { return clock_; }

    // Live output streams, for the control API.
    void remember(VirtualStream* stream);
    void forget(VirtualStream* stream);
    int64_t outputIndex(const BufferCore* buffer);
    tws_result loseOutput(uint32_t index, uint32_t restoreFailures);
    tws_result loseBuffer(const BufferCore* buffer, uint32_t restoreFailures);

    // Clock speed and tap settings from the environment.
    void applyEnvironment();
    void reset();

private:
    Faults faults_;
    DeviceSet devices_;
    TapStore taps_;
    std::mutex streamsMutex_;
    std::vector<VirtualStream*> streams_;
    Clock clock_;  // last: its thread is joined first
};

}  // namespace tws
