// The output device's factory of output tasks.
#include <new>

#include "core/ErrorCodes.h"
#include "device/SoundDevice.h"
#include "output/OutputConfigurationData.h"

namespace tw {

int32_t OutputDevice::createOutputTask(int32_t bufferSamples, double* sampleRate, uint32_t* channels,
                                       uint32_t* bitsPerSample, int32_t mode, OutputConfiguration** out) {
    if (!out) return err::kArgument;
    *out = nullptr;
    OutputConfigurationData* task = nullptr;
    try {
        task = new OutputConfigurationData(this, bufferSamples, sampleRate, channels, bitsPerSample, mode);
    } catch (...) {
        return err::kNoMemory;
    }
    const int32_t status = task->getConfigureStatus();
    if (status > 0) {
        delete task;
        return status;
    }
    *out = task;
    return status;
}

}  // namespace tw
