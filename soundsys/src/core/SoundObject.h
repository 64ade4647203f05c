// tws_sound and tws_capture: the C faces of the device objects.
#pragma once

#include <cstdint>
#include <memory>

#include "driver/Driver.h"
#include "tonewell_sound.h"

namespace tws {

class SoundObject : public tws_sound {
public:
    SoundObject(std::shared_ptr<OutputDevice> device, Driver& driver);
    ~SoundObject();

    tws_result getCaps(tws_caps* caps);
    tws_result setCooperativeLevel(uint32_t level);
    tws_result createBuffer(const tws_buffer_desc* desc, tws_buffer** out);

private:
    std::shared_ptr<OutputDevice> device_;
    Driver& driver_;
    uint32_t level_ = 0;
};

class CaptureObject : public tws_capture {
public:
    CaptureObject(std::shared_ptr<CaptureDevice> device, Driver& driver);
    ~CaptureObject();

    tws_result getCaps(tws_capture_caps* caps);
    tws_result createBuffer(const tws_capture_buffer_desc* desc, tws_capture_buffer** out);

private:
    std::shared_ptr<CaptureDevice> device_;
    Driver& driver_;
};

}  // namespace tws
