// The ALSA driver: the machine's PCM devices as ALSA lists them (which on a
// desktop includes the sound server's devices through ALSA's default PCM).
#pragma once

#include <mutex>
#include <string>
#include <vector>

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
    // Listing the hints parses ALSA's configuration (tens of ms): the names
    // seen last are kept, and listed again only for an id not among them.
    std::vector<std::string> refresh(Direction direction);
    bool nameOf(Direction direction, const tws_guid& guid, std::string& name);
    template <typename Device>
    tws_result openDevice(Direction direction, const tws_guid* guid, std::shared_ptr<Device>& out,
                          tws_result (*open)(const std::string&, std::shared_ptr<Device>&));

    std::once_flag quiet_;
    std::mutex mutex_;
    std::vector<std::string> names_[2];  // guarded by mutex_; per direction
};

}  // namespace tws
