// Task state queries: the input flag picks the input or output registry.
#include <cstring>

#include "core/ErrorCodes.h"
#include "core/InputConfiguration.h"
#include "core/OutputConfiguration.h"
#include "core/Registries.h"
#include "host/HostData.h"
#include "tonewell/tonewell.h"

using namespace tw;

namespace tw {
InputConfiguration* acquireInputTask(TaskRefnum refnum, bool passing);
void releaseInputTask(TaskRefnum refnum);
}  // namespace tw

namespace {

bool isInput(const uint8_t* flag) { return flag && *flag != 0; }

// Runs `op` on the task of either registry; `notFound` runs instead when the
// refnum is not registered. Returns 4801 then.
template <typename Op, typename NotFound>
int32_t withAnyTask(TaskRefnum refnum, const uint8_t* inputFlag, Op op, NotFound notFound) {
    int32_t result;
    if (isInput(inputFlag)) {
        ConfigurationData* task = acquireInputTask(refnum, false);
        result = task ? op(*task) : (notFound(), err::kBadRefnum);
        releaseInputTask(refnum);
    } else {
        Acquired<OutputConfiguration> task(outputTaskRegistry(), refnum, false);
        result = task ? op(*task.get()) : (notFound(), err::kBadRefnum);
    }
    return result;
}

}  // namespace

extern "C" {

TONEWELL_API int32_t GetConfFormat(TaskRefnum refnum, uint8_t* inputFlag, double* sampleRate,
                                   int32_t* channels, int32_t* bitsPerSample, uint16_t* sampleType) {
    return withAnyTask(
        refnum, inputFlag,
        [&](ConfigurationData& t) { return t.getFormat(sampleRate, channels, bitsPerSample, sampleType); },
        [] {});
}

TONEWELL_API int32_t GetConfState(TaskRefnum refnum, uint8_t* inputFlag, uint8_t* running,
                                  uint8_t* continuous) {
    return withAnyTask(
        refnum, inputFlag,
        [&](ConfigurationData& t) {
            uint8_t isRunning = t.isRunning() != 0;
            if (running) *running = isRunning;
            uint8_t isContinuous = t.getModeFlag() != 0;
            if (continuous) *continuous = isContinuous;
            return int32_t{0};
        },
        [&] {
            if (running) *running = 0;
            if (continuous) *continuous = 0;
        });
}

TONEWELL_API int32_t GetStateDesc(TaskRefnum refnum, uint8_t* inputFlag, TwStringHandle text) {
    char buffer[256] = "*Error*";
    int32_t result = withAnyTask(
        refnum, inputFlag, [&](ConfigurationData& t) { return t.getStateDesc(buffer); }, [] {});
    if (result != 0) return result;
    buffer[sizeof buffer - 1] = '\0';
    return host::writeString(text, buffer, std::strlen(buffer));
}

}  // extern "C"
