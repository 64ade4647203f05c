#include "virtual/VirtualDevices.h"

#include "virtual/TapStore.h"
#include "virtual/VirtualDriver.h"
#include "virtual/VirtualStream.h"

namespace tws {

namespace {

tws_result startStream(std::unique_ptr<VirtualStream> stream, std::unique_ptr<Stream>& out) {
    tws_result r = stream->start();
    if (r == TWS_OK) out = std::move(stream);
    return r;
}

}  // namespace

VirtualOutputDevice::VirtualOutputDevice(VirtualDeviceDesc desc, VirtualDriver& driver)
    : desc_(std::move(desc)), driver_(driver) {}

tws_result VirtualOutputDevice::getCaps(tws_caps& caps) {
    if (tws_result r = driver_.faults().device(desc_.guid, TWS_VIRTUAL_DEVICE_CAPS)) return r;
    caps.dwFlags = desc_.capsFlags;
    caps.dwMinSecondarySampleRate = desc_.minRate;
    caps.dwMaxSecondarySampleRate = desc_.maxRate;
    caps.dwPrimaryBuffers = 1;
    return TWS_OK;
}

tws_result VirtualOutputDevice::checkFormat(const Format& format) {
    if (format.rate < desc_.minRate || format.rate > desc_.maxRate) return TWS_ERR_BADFORMAT;
    return TWS_OK;
}

tws_result VirtualOutputDevice::openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) {
    auto tap = driver_.taps().open(buffer.format());
    return startStream(std::make_unique<VirtualStream>(buffer, driver_, std::move(tap)), out);
}

VirtualCaptureDevice::VirtualCaptureDevice(VirtualDeviceDesc desc, VirtualDriver& driver)
    : desc_(std::move(desc)), driver_(driver) {}

tws_result VirtualCaptureDevice::getCaps(tws_capture_caps& caps) {
    if (tws_result r = driver_.faults().device(desc_.guid, TWS_VIRTUAL_DEVICE_CAPS)) return r;
    caps.dwFlags = 0;
    caps.dwFormats = desc_.formats;
    caps.dwChannels = desc_.channels;
    return TWS_OK;
}

tws_result VirtualCaptureDevice::adjustFormat(Format& format) {
    if (desc_.fixedRate != 0) {
        format.setRate(desc_.fixedRate);
        return TWS_OK;
    }
    uint32_t minRate = 0;
    uint32_t maxRate = 0;
    if (!captureRateRange(desc_.formats, minRate, maxRate)) return TWS_ERR_BADFORMAT;
    if (format.rate < minRate || format.rate > maxRate) return TWS_ERR_BADFORMAT;
    return TWS_OK;
}

tws_result VirtualCaptureDevice::openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) {
    return startStream(std::make_unique<VirtualStream>(buffer, driver_, nullptr), out);
}

}  // namespace tws
