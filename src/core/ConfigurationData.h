// Abstract sound task; the host's clean-up (`cleanup`) shuts it down.
#pragma once

#include <cstdint>

#include "core/Cleanable.h"

namespace tw {

class ConfigurationData : public Cleanable {
public:
    ConfigurationData();
    ConfigurationData(const ConfigurationData&) = delete;
    ConfigurationData& operator=(const ConfigurationData&) = delete;

    int32_t cleanup() override { return shutdown(); }

    // Each out-pointer may be null and is then skipped.
    virtual int32_t getFormat(double* sampleRate, int32_t* channels, int32_t* bitsPerSample,
                              uint16_t* typeCode) = 0;
    virtual int32_t getConfigureStatus() = 0;
    // Releases everything the task holds; safe to call more than once.
    virtual int32_t shutdown() = 0;
    // Writes a NUL-terminated text of under 256 bytes.
    virtual int32_t getStateDesc(char* text);
    virtual int32_t isRunning();
    virtual int32_t getModeFlag();

    // Host type code of a task's natural sample type.
    static uint16_t naturalTypeCode(uint32_t bitsPerSample);
};

}  // namespace tw
