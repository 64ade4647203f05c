// The virtual driver's device objects: capabilities and accepted formats of
// one simulated device, and the streams of the buffers made on it.
#pragma once

#include <memory>

#include "driver/Driver.h"
#include "virtual/DeviceSet.h"

namespace tws {

class VirtualDriver;

class VirtualOutputDevice final : public OutputDevice {
public:
    VirtualOutputDevice(VirtualDeviceDesc desc, VirtualDriver& driver);
    tws_result getCaps(tws_caps& caps) override;
    tws_result checkFormat(const Format& format) override;
    tws_result openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) override;

private:
    const VirtualDeviceDesc desc_;
    VirtualDriver& driver_;
};

class VirtualCaptureDevice final : public CaptureDevice {
public:
    VirtualCaptureDevice(VirtualDeviceDesc desc, VirtualDriver& driver);
    tws_result getCaps(tws_capture_caps& caps) override;
    tws_result adjustFormat(Format& format) override;
    tws_result openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) override;

private:
    const VirtualDeviceDesc desc_;
    VirtualDriver& driver_;
};

}  // namespace tws
