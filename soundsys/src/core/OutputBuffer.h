// tws_buffer: the C face of a sound buffer, on top of BufferCore.
#pragma once

#include <memory>

#include "core/BufferCore.h"
#include "driver/Driver.h"
#include "tonewell_sound.h"

namespace tws {

class OutputBuffer : public tws_buffer {
public:
    // Checks the description, asks the device, allocates and attaches a stream.
    static tws_result create(const std::shared_ptr<OutputDevice>& device, Driver& driver,
                             const tws_buffer_desc* desc, tws_buffer** out);
    // The core behind a handle made here, or null for anything else.
    static BufferCore* coreOf(const tws_buffer* handle);

    BufferCore& core() { return core_; }
    void release();

private:
    OutputBuffer(std::shared_ptr<OutputDevice> device, const Format& format, uint32_t flags,
                 Driver& driver);
    ~OutputBuffer() = default;

    std::shared_ptr<OutputDevice> device_;
    BufferCore core_;
};

}  // namespace tws
