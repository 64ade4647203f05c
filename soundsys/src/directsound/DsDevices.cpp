#include "directsound/DsDevices.h"

#include <cstring>

#include "directsound/DsCaptureStream.h"
#include "directsound/DsOutputStream.h"

namespace tws {

namespace {

static_assert(sizeof(DSCAPS) == sizeof(tws_caps), "the module's caps record is the system's");
static_assert(sizeof(DSCCAPS) == sizeof(tws_capture_caps), "the module's caps record is the system's");

const GUID* deviceGuid(const tws_guid* guid, GUID& storage) {
    if (isNullGuid(guid)) return nullptr;  // the system's default device
    storage = toGuid(*guid);
    return &storage;
}

}  // namespace

tws_result DsOutputDevice::open(const DsApi& api, const tws_guid* guid, std::shared_ptr<OutputDevice>& out) {
    std::shared_ptr<DsOutputDevice> device(new DsOutputDevice);
    GUID storage;
    HRESULT hr = api.create(deviceGuid(guid, storage), device->ds_.put(), nullptr);
    // Priority level: the buffers' own formats, not the mixer's, reach the device.
    if (SUCCEEDED(hr)) hr = device->ds_->SetCooperativeLevel(::GetDesktopWindow(), DSSCL_PRIORITY);
    device->caps_.dwSize = sizeof device->caps_;
    if (SUCCEEDED(hr)) hr = device->ds_->GetCaps(&device->caps_);
    if (FAILED(hr)) return dsResult(hr);
    out = std::move(device);
    return TWS_OK;
}

tws_result DsOutputDevice::getCaps(tws_caps& caps) {
    const uint32_t size = caps.dwSize;
    std::memcpy(&caps, &caps_, sizeof caps);
    caps.dwSize = size;
    return TWS_OK;
}

tws_result DsOutputDevice::checkFormat(const Format& format) {
    if (format.rate < caps_.dwMinSecondarySampleRate || format.rate > caps_.dwMaxSecondarySampleRate)
        return TWS_ERR_BADFORMAT;
    return TWS_OK;
}

tws_result DsOutputDevice::openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) {
    return DsOutputStream::create(ds_.get(), buffer, out);
}

tws_result DsCaptureDevice::open(const DsApi& api, const tws_guid* guid, std::shared_ptr<CaptureDevice>& out) {
    std::shared_ptr<DsCaptureDevice> device(new DsCaptureDevice);
    GUID storage;
    HRESULT hr = api.captureCreate(deviceGuid(guid, storage), device->dsc_.put(), nullptr);
    device->caps_.dwSize = sizeof device->caps_;
    if (SUCCEEDED(hr)) hr = device->dsc_->GetCaps(&device->caps_);
    if (FAILED(hr)) return dsResult(hr);
    out = std::move(device);
    return TWS_OK;
}

tws_result DsCaptureDevice::getCaps(tws_capture_caps& caps) {
    caps.dwFlags = caps_.dwFlags;
    caps.dwFormats = caps_.dwFormats;
    caps.dwChannels = caps_.dwChannels;
    return TWS_OK;
}

// The capture buffer itself says whether it takes the rate.
tws_result DsCaptureDevice::adjustFormat(Format& format) {
    if (format.rate < DSBFREQUENCY_MIN || format.rate > DSBFREQUENCY_MAX) return TWS_ERR_BADFORMAT;
    return TWS_OK;
}

tws_result DsCaptureDevice::openStream(BufferCore& buffer, std::unique_ptr<Stream>& out) {
    return DsCaptureStream::create(dsc_.get(), buffer, out);
}

}  // namespace tws
