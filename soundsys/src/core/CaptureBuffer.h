// tws_capture_buffer: the C face of a capture buffer, on top of BufferCore.
#pragma once

#include <memory>

#include "core/BufferCore.h"
#include "driver/Driver.h"
#include "tonewell_sound.h"

namespace tws {

class CaptureBuffer : public tws_capture_buffer {
public:
    static tws_result create(const std::shared_ptr<CaptureDevice>& device, Driver& driver,
                             const tws_capture_buffer_desc* desc, tws_capture_buffer** out);

    BufferCore& core() { return core_; }
    void release();

private:
    CaptureBuffer(std::shared_ptr<CaptureDevice> device, const Format& format, Driver& driver);
    ~CaptureBuffer() = default;

    std::shared_ptr<CaptureDevice> device_;
    BufferCore core_;
};

}  // namespace tws
