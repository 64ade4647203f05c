#include "device/DeviceManager.h"

#include <atomic>

#include "core/Cleanable.h"
#include "core/ErrorCodes.h"
#include "core/SharedExclusiveLock.h"
#include "device/DeviceEnumerator.h"
#include "device/DirectSoundLibrary.h"
#include "host/HostRuntime.h"
#include "platform/Immortal.h"

namespace tw {
namespace {
// Never destroyed: tasks unregister through it during library detach.
std::atomic<DeviceManager*> gInstance{nullptr};
}  // namespace

DeviceManager* DeviceManager::instance() {
    SharedExclusiveLock* lock = deviceManagerLock();
    lock->lockExclusive();
    DeviceManager* manager = gInstance.load();
    if (!manager) {
        manager = platform::immortal(new DeviceManager());
        gInstance.store(manager);
        if (!manager->enumerated_) manager->enumerate();
    }
    lock->unlockExclusive();
    return manager;
}

int32_t DeviceManager::enumerate() {
    enumerationStatus_ = enumerateDevices(captureDevices_, outputDevices_);
    if (enumerationStatus_ == 0) enumerated_ = true;
    return enumerationStatus_;
}

int32_t DeviceManager::clear() {
    captureDevices_.removeAll();
    enumerated_ = false;
    return outputDevices_.removeAll();
}

int32_t DeviceManager::getNumDevices(bool input) {
    return input ? captureDevices_.count() : outputDevices_.count();
}

int32_t DeviceManager::acquireOutputDevice(int32_t index, SoundDevice** out) {
    *out = nullptr;
    if (DirectSoundLibrary::instance().getError() != 0) return err::kNoDevice;
    *out = outputDevices_.acquire(index, false);
    return *out ? err::kOk : err::kNoDevice;
}

int32_t DeviceManager::releaseOutputDevice(int32_t index) {
    if (int32_t e = DirectSoundLibrary::instance().getError()) return e;
    outputDevices_.release(index, false);
    return err::kOk;
}

int32_t DeviceManager::acquireInputDevice(int32_t index, SoundDevice** out) {
    *out = nullptr;
    if (DirectSoundLibrary::instance().getError() != 0) return err::kNoDevice;
    *out = captureDevices_.acquire(index, false);
    return *out ? err::kOk : err::kNoDevice;
}

int32_t DeviceManager::releaseInputDevice(int32_t index) {
    if (int32_t e = DirectSoundLibrary::instance().getError()) return e;
    captureDevices_.release(index, false);
    return err::kOk;
}

int32_t DeviceManager::registerTask(Cleanable* object) {
    return host::registerCleanup(taskCleanupProc, object, host::kCleanupOnTeardown);
}

int32_t DeviceManager::unregisterTask(Cleanable* object) {
    return host::registerCleanup(taskCleanupProc, object, host::kCleanupRemove);
}

}  // namespace tw
