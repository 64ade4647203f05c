// The DirectSound driver: the system's own output and capture devices, through
// dsound.dll. The driver adds no mixing of its own; each buffer streams its
// ring into a DirectSound buffer (or out of a capture buffer) on a thread of
// its own.
#pragma once

#include "driver/Driver.h"

namespace tws {

class DsDriver final : public Driver {
public:
    tws_result enumerate(Direction direction, std::vector<DeviceEntry>& out) override;
    tws_result openOutput(const tws_guid* guid, std::shared_ptr<OutputDevice>& out) override;
    tws_result openCapture(const tws_guid* guid, std::shared_ptr<CaptureDevice>& out) override;

private:
    bool listed(Direction direction, const tws_guid* guid);
};

}  // namespace tws
