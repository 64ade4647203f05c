// The output device's factory of MIDI tasks.
#include "device/SoundDevice.h"
#include "playback/MidiTask.h"

namespace tw {

int32_t OutputDevice::createMidiTask(const char* path, OutputConfiguration** out) {
    auto* task = new DM(this, path);
    int32_t status = task->getConfigureStatus();
    if (status > 0) {
        delete task;
        *out = nullptr;
        return status;
    }
    // A refusal to play shows later as a task that is not running.
    task->start();
    *out = task;
    return status;
}

}  // namespace tw
