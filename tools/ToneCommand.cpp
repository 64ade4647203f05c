// tonewell tone [FREQ]: a sine on an output device, block after block
// through a continuous output task; every channel plays the one row.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "Console.h"
#include "Devices.h"
#include "Failure.h"
#include "Options.h"
#include "Signals.h"
#include "Tasks.h"
#include "hostrt/HostRuntime.h"

namespace cli {

int runTone(const ToneOptions& options) {
    const Device device = chooseDevice(options.device.device, false);
    Format format = chooseFormat(device, options.device, Format{});
    if (options.frequency >= format.rate / 2) {
        char text[160];
        std::snprintf(text, sizeof text, "a tone of %g Hz needs a sample rate above %g Hz; this one is %g Hz",
                      options.frequency, 2 * options.frequency, format.rate);
        throw UsageError(text, "Choose a lower frequency or a higher rate (-r).");
    }
    // A ring of a quarter second: each quarter lasts about 60 ms.
    OutputTask task(device, format, std::max(static_cast<int32_t>(format.rate / 4), 16));
    note("playing %g Hz for %g s on %s: %s", options.frequency, options.seconds, describe(device).c_str(),
         describe(format).c_str());

    const int64_t total = std::llround(options.seconds * format.rate);
    const int32_t blockFrames = std::max(static_cast<int32_t>(format.rate / 10), 1);
    const double step = 2.0 * std::numbers::pi * options.frequency / format.rate;
    Progress progress("  playing");
    for (int64_t written = 0; written < total && !stopRequested();) {
        const auto frames = static_cast<int32_t>(std::min<int64_t>(blockFrames, total - written));
        auto block = hostrt::makeArray2D(TW_TYPE_F64, 1, frames);
        double* samples = hostrt::elements2D<double>(block.get());
        for (int32_t i = 0; i < frames; ++i)
            samples[i] = options.amplitude * std::sin(step * static_cast<double>(written + i));
        task.write(block.get(), TW_TYPE_F64);
        written += frames;
        progress.show(static_cast<double>(written) / format.rate, options.seconds,
                      std::vector<double>(static_cast<size_t>(format.channels), options.amplitude));
    }
    task.drain();
    progress.end();
    return stopRequested() ? stopExitCode() : kExitOk;
}

}  // namespace cli
