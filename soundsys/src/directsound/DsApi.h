// dsound.dll, loaded when the driver is first used: the module still loads
// (and its virtual driver works) on a system without it.
#pragma once

#include <windows.h>
// windows.h first: dsound.h relies on its types.
#include <dsound.h>
#include <mmreg.h>

#include "tonewell_sound.h"

namespace tws {

struct DsApi {
    decltype(&DirectSoundCreate8) create = nullptr;
    decltype(&DirectSoundCaptureCreate8) captureCreate = nullptr;
    decltype(&DirectSoundEnumerateW) enumerate = nullptr;
    decltype(&DirectSoundCaptureEnumerateW) captureEnumerate = nullptr;
};

// The entry points, or null when dsound.dll or one of them is missing. The
// library stays loaded until the process ends: its own threads may outlive
// this module's unload by a moment.
const DsApi* dsApi();

// DirectSound's error values are the module's own; anything else is a
// plain failure.
tws_result dsResult(HRESULT hr);

// Holds one reference to a DirectSound object.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* p) : p_(p) {}
    ~ComRef() { reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ComRef(ComRef&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() {
        reset();
        return &p_;
    }
    void reset() {
        if (p_ != nullptr) p_->Release();
        p_ = nullptr;
    }

private:
    T* p_ = nullptr;
};

GUID toGuid(const tws_guid& guid);
tws_guid fromGuid(const GUID& guid);

}  // namespace tws
