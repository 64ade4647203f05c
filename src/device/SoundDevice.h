// Enumerated sound devices: a description and the sound system's device id.
// Output and input devices build tasks on themselves.
#pragma once

#include <cstdint>

#include "tonewell_sound.h"

namespace tw {

class OutputConfiguration;
class InputConfiguration;

class SoundDevice {
public:
    explicit SoundDevice(const tws_guid* guid);
    virtual ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    virtual const char* getName() const;
    // The module name is accepted and ignored.
    virtual void setName(const char* text, const char* module);
    virtual const tws_guid* getGuid() const;

private:
    char* name_ = nullptr;
    tws_guid guid_{};
};

class OutputDevice : public SoundDevice {
public:
    using SoundDevice::SoundDevice;
    virtual int32_t createMidiTask(const char* path, OutputConfiguration** out);
    virtual int32_t createOutputTask(int32_t bufferSamples, double* sampleRate, uint32_t* channels,
                                     uint32_t* bitsPerSample, int32_t mode, OutputConfiguration** out);
};

class InputDevice : public SoundDevice {
public:
    using SoundDevice::SoundDevice;
    virtual int32_t createInputTask(int32_t bufferSamples, double* sampleRate, uint32_t* channels,
                                    uint32_t* bitsPerSample, int32_t mode, InputConfiguration** out);
};

}  // namespace tw
