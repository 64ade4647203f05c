// Abstract output side: the operations the SO exports reach. Output tasks and
// the MIDI playback task implement them.
#pragma once

#include "core/ConfigurationData.h"
#include "tonewell/tonewell.h"

namespace tw {

class OutputConfiguration : public ConfigurationData {
public:
    int32_t isRunning() override = 0;
    int32_t getModeFlag() override = 0;

    virtual int32_t write(TwArrayHandle data, double timeoutSeconds, uint16_t typeCode) = 0;
    virtual int32_t wait(double timeoutSeconds) = 0;
    virtual int32_t stop() = 0;
    virtual int32_t start() = 0;
    virtual int32_t pause() = 0;
    virtual int32_t setVolume(int32_t volume) = 0;
    virtual int32_t getVolume(int32_t* volume) = 0;
};

}  // namespace tw
