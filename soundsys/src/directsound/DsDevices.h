// The DirectSound driver's device objects: one DirectSound (or capture)
// object per device, opened when the module's sound object is made and
// shared by every buffer made from it.
#pragma once

#include <memory>

#include "directsound/DsApi.h"
#include "driver/Driver.h"

namespace tws {

class DsOutputDevice final : public OutputDevice {
public:
    static tws_result open(const DsApi& api, const tws_guid* guid, std::shared_ptr<OutputDevice>& out);

    tws_result getCaps(tws_caps& caps) override;
    tws_result checkFormat(const Format& format) override;
    tws_result openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) override;

private:
    DsOutputDevice() = default;

    ComRef<IDirectSound8> ds_;
    DSCAPS caps_{};
};

class DsCaptureDevice final : public CaptureDevice {
public:
    static tws_result open(const DsApi& api, const tws_guid* guid, std::shared_ptr<CaptureDevice>& out);

    tws_result getCaps(tws_capture_caps& caps) override;
    tws_result adjustFormat(Format& format) override;
    tws_result openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) override;

private:
    DsCaptureDevice() = default;

    ComRef<IDirectSoundCapture> dsc_;
    DSCCAPS caps_{};
};

}  // namespace tws
