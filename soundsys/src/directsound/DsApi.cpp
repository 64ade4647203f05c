#include "directsound/DsApi.h"

#include <cstring>

namespace tws {

namespace {

static_assert(sizeof(GUID) == sizeof(tws_guid), "device ids are the system's GUIDs");

template <typename Fn>
bool bind(HMODULE module, const char* name, Fn& out) {
    out = reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
    return out != nullptr;
}

DsApi load() {
    DsApi api;
    HMODULE module = ::LoadLibraryW(L"dsound.dll");
    if (module == nullptr) return api;
    DsApi bound;
    if (bind(module, "DirectSoundCreate8", bound.create) &&
        bind(module, "DirectSoundCaptureCreate8", bound.captureCreate) &&
        bind(module, "DirectSoundEnumerateW", bound.enumerate) &&
        bind(module, "DirectSoundCaptureEnumerateW", bound.captureEnumerate))
        return bound;
    ::FreeLibrary(module);
    return api;
}

}  // namespace

const DsApi* dsApi() {
    static const DsApi api = load();
    return api.create != nullptr ? &api : nullptr;
}

tws_result dsResult(HRESULT hr) {
    if (SUCCEEDED(hr)) return TWS_OK;
    switch (static_cast<tws_result>(hr)) {
        case TWS_E_OUTOFMEMORY:
        case TWS_E_INVALIDARG:
        case TWS_E_NOINTERFACE:
        case TWS_E_NOTIMPL:
        case TWS_E_ACCESSDENIED:
        case TWS_ERR_ALLOCATED:
        case TWS_ERR_CONTROLUNAVAIL:
        case TWS_ERR_INVALIDCALL:
        case TWS_ERR_PRIOLEVELNEEDED:
        case TWS_ERR_BADFORMAT:
        case TWS_ERR_NODRIVER:
        case TWS_ERR_BUFFERLOST:
        case TWS_ERR_OTHERAPPHASPRIO:
        case TWS_ERR_UNINITIALIZED:
        case TWS_ERR_BUFFERTOOSMALL:
            return static_cast<tws_result>(hr);
        default:
            return TWS_E_FAIL;
    }
}

GUID toGuid(const tws_guid& guid) {
    GUID out;
    std::memcpy(&out, &guid, sizeof out);
    return out;
}

tws_guid fromGuid(const GUID& guid) {
    tws_guid out;
    std::memcpy(&out, &guid, sizeof out);
    return out;
}

}  // namespace tws
