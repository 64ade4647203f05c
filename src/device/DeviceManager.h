// The one process-wide owner of the device tables. Created and enumerated on
// first use, never destroyed while the process runs.
#pragma once

#include <cstdint>

#include "core/RefnumRegistry.h"
#include "device/SoundDevice.h"

namespace tw {

class Cleanable;
class SharedExclusiveLock;

class DeviceManager {
public:
    // The manager, created (and its devices enumerated) on the first call.
    static DeviceManager* instance();

    virtual ~DeviceManager() = default;

    virtual int32_t enumerate();
    virtual int32_t clear();
    virtual int32_t getNumDevices(bool input);
    virtual int32_t acquireOutputDevice(int32_t index, SoundDevice** out);
    virtual int32_t releaseOutputDevice(int32_t index);
    virtual int32_t acquireInputDevice(int32_t index, SoundDevice** out);
    virtual int32_t releaseInputDevice(int32_t index);
    virtual int32_t registerTask(Cleanable* object);
    virtual int32_t unregisterTask(Cleanable* object);

    bool enumerated() const { return enumerated_; }
    // Enumeration status of the first (only) enumeration: 0 or 37.
    int32_t enumerationStatus() const { return enumerationStatus_; }

private:
    DeviceManager() = default;

    RefnumRegistry<InputDevice> captureDevices_;
    RefnumRegistry<OutputDevice> outputDevices_;
    bool enumerated_ = false;
    int32_t enumerationStatus_ = 0;
};

// Serialises DeviceManager::instance; created and destroyed with the library.
SharedExclusiveLock* deviceManagerLock();

}  // namespace tw
