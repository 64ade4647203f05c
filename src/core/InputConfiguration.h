// Abstract input side: the operations the SI exports reach.
#pragma once

#include "core/ConfigurationData.h"
#include "tonewell/tonewell.h"

namespace tw {

class InputConfiguration : public ConfigurationData {
public:
    int32_t getStateDesc(char* text) override;
    int32_t isRunning() override = 0;
    int32_t getModeFlag() override = 0;

    // Kept for its slot; nothing calls it.
    virtual int32_t notSupported(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
        return 53;
    }
    virtual int32_t read(TwArrayHandle data, int32_t samplesToRead, double timeoutSeconds,
                         uint16_t typeCode) = 0;
    virtual int32_t getTotalSamplesRead() = 0;
    virtual int32_t stop() = 0;
    virtual int32_t start() = 0;
};

}  // namespace tw
