// tonewell level: a live level meter of a capture device, for --seconds or
// until stopped. On a terminal one line is redrawn; elsewhere one line of
// peaks is written each second.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "Console.h"
#include "Devices.h"
#include "Failure.h"
#include "Options.h"
#include "Signals.h"
#include "Tasks.h"
#include "hostrt/HostRuntime.h"

namespace cli {

int runLevel(const LevelOptions& options) {
    const Device device = chooseDevice(options.device.device, true);
    Format format = chooseFormat(device, options.device, Format{});
    // A ring of 200 ms gives the meter room to lag a little without overrunning.
    InputTask task(device, format, std::max(static_cast<int32_t>(format.rate / 5), 4));
    note("level of %s: %s%s", describe(device).c_str(), describe(format).c_str(),
         options.seconds ? "" : "; Ctrl-C ends");

    const int32_t blockFrames = std::max(static_cast<int32_t>(format.rate / 20), 1);
    const auto perLine = static_cast<int64_t>(format.rate);
    const int64_t total = options.seconds ? std::llround(*options.seconds * format.rate) : -1;
    auto block = hostrt::makeArray2D(TW_TYPE_F64, format.channels, blockFrames);
    Progress progress("  level");
    std::vector<double> linePeaks(static_cast<size_t>(format.channels), 0.0);
    int64_t captured = 0, lineStart = 0;
    while ((total < 0 || captured < total) && !stopRequested()) {
        const int32_t got = task.read(block.get(), blockFrames, TW_TYPE_F64);
        if (got == 0) continue;
        captured += got;
        const std::vector<double> peaks =
            rowPeaks(hostrt::elements2D<double>(block.get()), format.channels, got, true);
        const double elapsed = static_cast<double>(captured) / format.rate;
        progress.show(elapsed, total < 0 ? -1.0 : *options.seconds, peaks);
        if (progress.visible()) continue;
        for (size_t ch = 0; ch < peaks.size(); ++ch) linePeaks[ch] = std::max(linePeaks[ch], peaks[ch]);
        if (captured - lineStart >= perLine) {
            std::printf("%s", clock(elapsed).c_str());
            for (size_t ch = 0; ch < linePeaks.size(); ++ch) std::printf("  %zu: %6.1f dB", ch + 1, toDb(linePeaks[ch]));
            std::printf("\n");
            std::fflush(stdout);
            std::fill(linePeaks.begin(), linePeaks.end(), 0.0);
            lineStart = captured;
        }
    }
    progress.end();
    return stopRequested() ? stopExitCode() : kExitOk;
}

}  // namespace cli
