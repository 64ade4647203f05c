#include "core/SoundObject.h"

#include "core/CaptureBuffer.h"
#include "core/Globals.h"
#include "core/OutputBuffer.h"

namespace tws {

namespace {

SoundObject* sound(tws_sound* s) { return static_cast<SoundObject*>(s); }
CaptureObject* capture(tws_capture* c) { return static_cast<CaptureObject*>(c); }

constexpr tws_sound_vtbl kSoundVtbl = {
    [](tws_sound* s) { delete sound(s); },
    [](tws_sound* s, tws_caps* caps) { return s ? sound(s)->getCaps(caps) : TWS_E_INVALIDARG; },
    [](tws_sound* s, uint32_t level) {
        return s ? sound(s)->setCooperativeLevel(level) : TWS_E_INVALIDARG;
    },
    [](tws_sound* s, const tws_buffer_desc* desc, tws_buffer** out) {
        return s ? sound(s)->createBuffer(desc, out) : TWS_E_INVALIDARG;
    },
};

constexpr tws_capture_vtbl kCaptureVtbl = {
    [](tws_capture* c) { delete capture(c); },
    [](tws_capture* c, tws_capture_caps* caps) {
        return c ? capture(c)->getCaps(caps) : TWS_E_INVALIDARG;
    },
    [](tws_capture* c, const tws_capture_buffer_desc* desc, tws_capture_buffer** out) {
        return c ? capture(c)->createBuffer(desc, out) : TWS_E_INVALIDARG;
    },
};

}  // namespace

SoundObject::SoundObject(std::shared_ptr<OutputDevice> device, Driver& driver)
    : tws_sound{&kSoundVtbl}, device_(std::move(device)), driver_(driver) {
    liveCounts().sounds.fetch_add(1);
}

SoundObject::~SoundObject() { liveCounts().sounds.fetch_sub(1); }

tws_result SoundObject::getCaps(tws_caps* caps) {
    if (caps == nullptr || caps->dwSize != sizeof(tws_caps)) return TWS_E_INVALIDARG;
    tws_caps filled{};
    filled.dwSize = sizeof(tws_caps);
    tws_result r = device_->getCaps(filled);
    if (r == TWS_OK) *caps = filled;
    return r;
}

tws_result SoundObject::setCooperativeLevel(uint32_t level) {
    if (level < TWS_SCL_NORMAL || level > TWS_SCL_WRITEPRIMARY) return TWS_E_INVALIDARG;
    level_ = level;
    return TWS_OK;
}

tws_result SoundObject::createBuffer(const tws_buffer_desc* desc, tws_buffer** out) {
    return OutputBuffer::create(device_, driver_, desc, out);
}

CaptureObject::CaptureObject(std::shared_ptr<CaptureDevice> device, Driver& driver)
    : tws_capture{&kCaptureVtbl}, device_(std::move(device)), driver_(driver) {
    liveCounts().captures.fetch_add(1);
}

CaptureObject::~CaptureObject() { liveCounts().captures.fetch_sub(1); }

tws_result CaptureObject::getCaps(tws_capture_caps* caps) {
    if (caps == nullptr || caps->dwSize != sizeof(tws_capture_caps)) return TWS_E_INVALIDARG;
    tws_capture_caps filled{};
    filled.dwSize = sizeof(tws_capture_caps);
    tws_result r = device_->getCaps(filled);
    if (r == TWS_OK) *caps = filled;
    return r;
}

tws_result CaptureObject::createBuffer(const tws_capture_buffer_desc* desc,
                                       tws_capture_buffer** out) {
    return CaptureBuffer::create(device_, driver_, desc, out);
}

}  // namespace tws
