#include "Tasks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Console.h"
#include "Errors.h"
#include "Failure.h"
#include "Library.h"
#include "Signals.h"
#include "hostrt/HostRuntime.h"

namespace cli {

namespace {

int32_t nearest(const std::vector<int32_t>& values, int32_t wanted) {
    if (values.empty()) return wanted;
    int32_t best = values.front();
    for (int32_t v : values)
        if (std::abs(v - wanted) < std::abs(best - wanted)) best = v;
    return best;
}

void noteChanges(const Format& asked, const Format& got, const std::string& device) {
    if (asked.rate != got.rate || asked.channels != got.channels || asked.bits != got.bits)
        warning("%s runs at %s (asked: %s)", device.c_str(), describe(got).c_str(), describe(asked).c_str());
}

}  // namespace

Format chooseFormat(const Device& device, const DeviceOptions& options, Format defaults) {
    Format f = defaults;
    if (options.rate) {
        checkRate(device, *options.rate);
        f.rate = *options.rate;
    } else if (device.status == 0 && device.maxRate > 0) {
        f.rate = std::clamp(f.rate, device.minRate, device.maxRate);
    }
    if (options.channels) {
        checkChannels(device, *options.channels);
        f.channels = *options.channels;
    } else if (device.status == 0) {
        f.channels = nearest(device.channels, f.channels);
    }
    if (options.bits) {
        checkBits(device, *options.bits);
        f.bits = *options.bits;
    } else if (device.status == 0) {
        f.bits = nearest(device.bits, f.bits);
    }
    return f;
}

std::string describe(const Format& format) {
    char text[80];
    std::snprintf(text, sizeof text, "%.0f Hz, %d channel%s, %d bits", format.rate, format.channels,
                  format.channels == 1 ? "" : "s", format.bits);
    return text;
}

OutputTask::OutputTask(const Device& device, Format& format, int32_t ringFrames) : device_(describe(device)) {
    const Format asked = format;
    check(api().SOConfigure(device.index, ringFrames, &format.rate, &format.channels, &format.bits,
                            TW_MODE_CONTINUOUS, &refnum_),
          "cannot play on " + device_);
    noteChanges(asked, format, device_);
    detail("output task %d on %s: %s, ring of %d frames", refnum_, device_.c_str(), describe(format).c_str(),
           ringFrames);
}

OutputTask::~OutputTask() {
    if (refnum_ < 0) return;
    api().SOStop(refnum_);
    api().SOClear(refnum_);
    reportWarnings(warnings_);
}

void OutputTask::write(TwArrayHandle block, uint16_t typeCode) {
    const int32_t r = api().SOWrite(refnum_, block, -1.0, typeCode);
    check(r, "playback on " + device_ + " stopped");
    if (r < 0) warnings_.insert(r);
}

void OutputTask::drain() {
    // In steps, so a stop is seen within a tenth of a second.
    while (!stopRequested()) {
        const int32_t r = api().SOWait(refnum_, 0.1);
        if (r == TW_E_TIMEOUT) continue;
        check(r, "waiting for the end of playback on " + device_);
        return;
    }
}

InputTask::InputTask(const Device& device, Format& format, int32_t ringFrames) : device_(describe(device)) {
    const Format asked = format;
    check(api().SIConfigure(device.index, ringFrames, &format.rate, &format.channels, &format.bits,
                            TW_MODE_CONTINUOUS, &refnum_),
          "cannot capture from " + device_);
    noteChanges(asked, format, device_);
    detail("input task %d on %s: %s, ring of %d frames", refnum_, device_.c_str(), describe(format).c_str(),
           ringFrames);
}

InputTask::~InputTask() {
    if (refnum_ < 0) return;
    api().SIStop(refnum_);
    api().SIClear(refnum_);
}

int32_t InputTask::read(TwArrayHandle block, int32_t frames, uint16_t typeCode) {
    int32_t total = 0;
    const int32_t r = api().SIRead(refnum_, block, frames, &total, 0.5, typeCode);
    // A read that times out keeps what came: the array holds it.
    if (r != TW_E_TIMEOUT) check(r, "capture from " + device_ + " stopped");
    return hostrt::cols(block);
}

void reportWarnings(const std::set<int32_t>& codes) {
    for (int32_t code : codes) warning("%s", describeCode(code).c_str());
}

}  // namespace cli
