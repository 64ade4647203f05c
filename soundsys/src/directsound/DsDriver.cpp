#include "directsound/DsDriver.h"

#include "directsound/DsApi.h"
#include "directsound/DsDevices.h"

namespace tws {

namespace {

std::string utf8(const wchar_t* text) {
    if (text == nullptr) return {};
    const int bytes = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string out(static_cast<size_t>(bytes - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), bytes, nullptr, nullptr);
    return out;
}

// The entry without an id is the primary device, which the core lists itself.
BOOL CALLBACK collect(GUID* guid, const wchar_t* description, const wchar_t* module, void* context) {
    if (guid != nullptr) {
        auto& out = *static_cast<std::vector<DeviceEntry>*>(context);
        out.push_back({fromGuid(*guid), utf8(description), utf8(module)});
    }
    return TRUE;
}

}  // namespace

tws_result DsDriver::enumerate(Direction direction, std::vector<DeviceEntry>& out) {
    const DsApi* api = dsApi();
    if (api == nullptr) return TWS_ERR_NODRIVER;
    std::vector<DeviceEntry> found;
    const HRESULT hr = direction == Direction::Output ? api->enumerate(collect, &found)
                                                      : api->captureEnumerate(collect, &found);
    if (FAILED(hr)) return dsResult(hr);
    out.insert(out.end(), found.begin(), found.end());
    return TWS_OK;
}

// The system answers an id it does not know with a bad-argument error; the
// module's contract says no such device.
bool DsDriver::listed(Direction direction, const tws_guid* guid) {
    if (isNullGuid(guid)) return true;
    std::vector<DeviceEntry> devices;
    if (enumerate(direction, devices) != TWS_OK) return false;
    for (const auto& d : devices)
        if (sameGuid(d.guid, *guid)) return true;
    return false;
}

tws_result DsDriver::openOutput(const tws_guid* guid, std::shared_ptr<OutputDevice>& out) {
    const DsApi* api = dsApi();
    if (api == nullptr || !listed(Direction::Output, guid)) return TWS_ERR_NODRIVER;
    return DsOutputDevice::open(*api, guid, out);
}

tws_result DsDriver::openCapture(const tws_guid* guid, std::shared_ptr<CaptureDevice>& out) {
    const DsApi* api = dsApi();
    if (api == nullptr || !listed(Direction::Capture, guid)) return TWS_ERR_NODRIVER;
    return DsCaptureDevice::open(*api, guid, out);
}

}  // namespace tws
