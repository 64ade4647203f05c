// The capture device's task factory.
#include <new>

#include "core/ErrorCodes.h"
#include "device/SoundDevice.h"
#include "input/InputConfigurationData.h"

namespace tw {

int32_t InputDevice::createInputTask(int32_t bufferSamples, double* sampleRate, uint32_t* channels,
                                     uint32_t* bitsPerSample, int32_t mode, InputConfiguration** out) {
    InputConfiguration* placeholder = nullptr;
    InputConfiguration*& task = out ? *out : placeholder;
    task = nullptr;
    auto* made = new (std::nothrow) InputConfigurationData(this, bufferSamples, sampleRate, channels,
                                                           bitsPerSample, mode);
    if (!made) return err::kNoMemory;
    const int32_t status = made->getConfigureStatus();
    // A warning keeps the task; an error deletes it.
    if (status > 0 || !out) {
        delete made;
        return status;
    }
    task = made;
    return status;
}

}  // namespace tw
