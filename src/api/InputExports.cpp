// The SI exports: input tasks in the input task registry.
#include "core/ErrorCodes.h"
#include "core/InputConfiguration.h"
#include "core/Registries.h"
#include "core/Trace.h"
#include "device/DeviceManager.h"
#include "tonewell/tonewell.h"

using namespace tw;

namespace tw {

// Every input-task lookup traces the number of registered input tasks first.
// `passing` for the calls that end waits (see RefnumRegistry::acquirePassing).
InputConfiguration* acquireInputTask(TaskRefnum refnum, bool passing) {
    InputTaskRegistry& registry = inputTaskRegistry();
    trace("Get Input Conf: ", static_cast<uint32_t>(registry.count()));
    InputConfiguration* task = passing ? registry.acquirePassing(refnum) : registry.acquire(refnum, false);
    if (!task) trace("IT IS NULL!");
    return task;
}

void releaseInputTask(TaskRefnum refnum) { inputTaskRegistry().release(refnum, false); }

}  // namespace tw

namespace {

template <typename Op>
int32_t withInputTask(TaskRefnum refnum, Op op, bool passing = false) {
    InputConfiguration* task = acquireInputTask(refnum, passing);
    int32_t result = task ? op(*task) : err::kBadRefnum;
    releaseInputTask(refnum);
    return result;
}

}  // namespace

extern "C" {

TONEWELL_API int32_t SIConfigure(int32_t deviceIndex, int32_t bufferSamples, double* sampleRate,
                                 int32_t* channels, int32_t* bitsPerSample, int32_t mode,
                                 TaskRefnum* refnumOut) {
    DeviceManager* manager = DeviceManager::instance();
    SoundDevice* device = nullptr;
    int32_t result = manager->acquireInputDevice(deviceIndex, &device);
    InputConfiguration* task = nullptr;
    if (device) {
        result = static_cast<InputDevice*>(device)->createInputTask(
            bufferSamples, sampleRate, reinterpret_cast<uint32_t*>(channels),
            reinterpret_cast<uint32_t*>(bitsPerSample), mode, &task);
    }
    TaskRefnum refnum = task ? inputTaskRegistry().add(task) : -1;
    if (refnumOut) *refnumOut = refnum;
    manager->releaseInputDevice(deviceIndex);
    return result;
}

TONEWELL_API int32_t SIRead(TaskRefnum refnum, TwArrayHandle data, int32_t samplesToRead,
                            int32_t* totalSamplesRead, double timeoutSeconds, uint16_t sampleType) {
    trace("Beginning SIRead", static_cast<uint32_t>(refnum));
    InputConfiguration* task = acquireInputTask(refnum, false);
    int32_t result;
    if (samplesToRead < 0) {
        result = err::kDevice;
    } else if (!task) {
        result = err::kBadRefnum;
        if (totalSamplesRead) *totalSamplesRead = 0;
    } else {
        result = task->read(data, samplesToRead, timeoutSeconds, sampleType);
        if (totalSamplesRead) *totalSamplesRead = task->getTotalSamplesRead();
    }
    releaseInputTask(refnum);
    trace("Ending SIRead");
    return result;
}

TONEWELL_API int32_t SIStart(TaskRefnum refnum) {
    return withInputTask(refnum, [](InputConfiguration& t) { return t.start(); });
}

TONEWELL_API int32_t SIStop(TaskRefnum refnum) {
    return withInputTask(refnum, [](InputConfiguration& t) { return t.stop(); }, true);
}

TONEWELL_API int32_t SIClear(TaskRefnum refnum) {
    // The removal waits for every call in progress: a read inside the task
    // is ended first.
    withInputTask(refnum, [](InputConfiguration& t) { return t.shutdown(); }, true);
    return inputTaskRegistry().remove(refnum) == 0 ? err::kOk : err::kBadRefnum;
}

}  // extern "C"
