// The ALSA driver: the machine's PCM devices as ALSA lists them (which on a
// desktop includes the sound server's devices through ALSA's default PCM).
#pragma once

#include <mutex>
#include <string>

#include "driver/Driver.h"

namespace tws {

class AlsaDriver final : public Driver {
public:
    tws_result enumerate(Direction direction, std::vector<DeviceEntry>& out) override;
    tws_result openOutput(const tws_guid* guid, std::shared_ptr<OutputDevice>& out) override;
    tws_result openCapture(const tws_guid* guid, std::shared_ptr<CaptureDevice>& out) override;

private:
    // ALSA reports its own errors on stderr unless told otherwise; the
    // module never prints.
    void quietAlsa();

    std::once_flag quiet_;
};

}  // namespace tws
