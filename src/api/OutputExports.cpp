// The SO exports: output tasks (and MIDI tasks) in the output task registry.
#include "core/ErrorCodes.h"
#include "core/OutputConfiguration.h"
#include "core/Registries.h"
#include "device/DeviceManager.h"
#include "host/HostData.h"
#include "tonewell/tonewell.h"

#include <cstring>
#include <vector>

using namespace tw;

namespace {

// Runs `op` on the task named by `refnum` under a shared hold; 4801 when the
// refnum is not registered.
// `Access` is `false` (shared) or `Passing` for the calls that end waits.
template <typename Op, typename Access = bool>
int32_t withTask(TaskRefnum refnum, Op op, Access access = false) {
    Acquired<OutputConfiguration> task(outputTaskRegistry(), refnum, access);
    if (!task) return err::kBadRefnum;
    return op(*task.get());
}

}  // namespace

extern "C" {

TONEWELL_API int32_t SOConfigure(int32_t deviceIndex, int32_t bufferSamples, double* sampleRate,
                                 int32_t* channels, int32_t* bitsPerSample, int32_t mode,
                                 TaskRefnum* refnumOut) {
    DeviceManager* manager = DeviceManager::instance();
    SoundDevice* device = nullptr;
    int32_t result = manager->acquireOutputDevice(deviceIndex, &device);
    OutputConfiguration* task = nullptr;
    if (device) {
        result = static_cast<OutputDevice*>(device)->createOutputTask(
            bufferSamples, sampleRate, reinterpret_cast<uint32_t*>(channels),
            reinterpret_cast<uint32_t*>(bitsPerSample), mode, &task);
    }
    TaskRefnum refnum = task ? outputTaskRegistry().add(task) : -1;
    if (refnumOut) *refnumOut = refnum;
    manager->releaseOutputDevice(deviceIndex);
    return result;
}

TONEWELL_API int32_t SOWrite(TaskRefnum refnum, TwArrayHandle data, double timeoutSeconds,
                             uint16_t sampleType) {
    return withTask(refnum, [&](OutputConfiguration& t) { return t.write(data, timeoutSeconds, sampleType); });
}

TONEWELL_API int32_t SOStart(TaskRefnum refnum) {
    return withTask(refnum, [](OutputConfiguration& t) { return t.start(); });
}

TONEWELL_API int32_t SOStop(TaskRefnum refnum) {
    return withTask(refnum, [](OutputConfiguration& t) { return t.stop(); }, Passing{});
}

TONEWELL_API int32_t SOPause(TaskRefnum refnum) {
    return withTask(refnum, [](OutputConfiguration& t) { return t.pause(); }, Passing{});
}

TONEWELL_API int32_t SOWait(TaskRefnum refnum, double timeoutSeconds) {
    return withTask(refnum, [&](OutputConfiguration& t) { return t.wait(timeoutSeconds); });
}

TONEWELL_API int32_t SOVolume(TaskRefnum refnum, TwArrayHandle volumes) {
    // A null handle reads as an empty array.
    if (host::arrayDimension(volumes, 0) <= 0) return err::kArgument;
    int32_t first;
    std::memcpy(&first, host::arrayElements(volumes, 1), sizeof first);
    return withTask(refnum, [&](OutputConfiguration& t) { return t.setVolume(first); });
}

TONEWELL_API int32_t SOInfo(TaskRefnum refnum, TwArrayHandle volumesOut, uint8_t* flagOut) {
    return withTask(refnum, [&](OutputConfiguration& t) {
        int32_t volume = 0;
        int32_t result = t.getVolume(&volume);
        if (result != 0) return result;
        int32_t channels = 0;
        result = t.getFormat(nullptr, &channels, nullptr, nullptr);
        if (result != 0) return result;
        if (channels < 0) channels = 0;
        std::vector<int32_t> values(static_cast<size_t>(channels), volume);
        result = host::writeInt32Array(volumesOut, values.data(), channels);
        if (result != 0) return result;
        if (flagOut) *flagOut = 0;
        return int32_t{0};
    });
}

TONEWELL_API int32_t SOClear(TaskRefnum refnum) {
    // The removal waits for every call in progress: a write or wait inside
    // the task is ended first.
    withTask(refnum, [](OutputConfiguration& t) { return t.shutdown(); }, Passing{});
    return outputTaskRegistry().remove(refnum) == 0 ? err::kOk : err::kBadRefnum;
}

}  // extern "C"
