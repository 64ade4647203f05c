// PlaySoundFile: one-call playback of a sound file as a MIDI task in the
// output task registry.
#include "core/ErrorCodes.h"
#include "core/OutputConfiguration.h"
#include "core/Registries.h"
#include "device/DeviceManager.h"
#include "host/HostData.h"
#include "playback/DirectMusicContext.h"
#include "tonewell/tonewell.h"

using namespace tw;

namespace {
constexpr size_t kPathBuffer = 1024;
}  // namespace

extern "C" {

TONEWELL_API int32_t PlaySoundFile(int32_t deviceIndex, TwStringHandle path, uint32_t startupDelay,
                                   TaskRefnum* refnumOut) {
    if (host::stringLength(path) == 0) return err::kPath;
    DeviceManager* manager = DeviceManager::instance();
    SoundDevice* device = nullptr;
    int32_t result = manager->acquireOutputDevice(deviceIndex, &device);
    OutputConfiguration* task = nullptr;
    if (device) {
        startupDelayMs = startupDelay;
        char file[kPathBuffer];
        host::readString(path, file, sizeof file);
        result = static_cast<OutputDevice*>(device)->createMidiTask(file, &task);
    }
    TaskRefnum refnum = task ? outputTaskRegistry().add(task) : -1;
    if (refnumOut) *refnumOut = refnum;
    manager->releaseOutputDevice(deviceIndex);
    return result;
}

}  // extern "C"
