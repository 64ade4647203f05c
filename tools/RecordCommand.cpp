// tonewell record FILE: captures from a capture device into a WAV file (or,
// for "-", to standard output) for --seconds or until stopped. However it is
// stopped (Ctrl-C, SIGTERM, SIGHUP, a closed pipe), the file is closed and
// valid; counts are 64-bit.
#include <sys/stat.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "Console.h"
#include "Devices.h"
#include "Failure.h"
#include "Library.h"
#include "Options.h"
#include "Signals.h"
#include "Tasks.h"
#include "WavPipe.h"
#include "hostrt/HostRuntime.h"

namespace cli {

namespace {

// What a WAV file's 32-bit sizes allow for the samples, with room for the
// header: a little under 4 GiB.
constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 4096;

// Where the samples go: the library's WAV writer (a file, or standard output
// when it is a file), or a WAV stream to a pipe.
class Destination {
public:
    Destination(const std::string& name, const Format& format) {
        if (name != "-") {
            open(name, name, format);
        } else if (::isatty(1)) {
            throw UsageError("standard output is a terminal; give a file name, or send it to a file or a pipe");
#ifndef _WIN32
        // Windows has no path for it; there the file gets the stream's open sizes.
        } else if (struct stat st; ::fstat(1, &st) == 0 && S_ISREG(st.st_mode)) {
            open("/proc/self/fd/1", "standard output", format);
#endif
        } else {
            pipe_ = std::make_unique<WavPipe>(1, format);
        }
    }
    ~Destination() {
        if (file_ >= 0) api().SoundFileClose(file_);
    }
    Destination(const Destination&) = delete;
    Destination& operator=(const Destination&) = delete;

    // False when the reader of a pipe has gone.
    bool write(TwArrayHandle block, int32_t channels, int32_t frames) {
        if (pipe_) return pipe_->write(hostrt::elements2D<int32_t>(block), channels, frames);
        int32_t written = 0;
        check(api().SoundWriteFileData(file_, block, &written, TW_TYPE_I32), "cannot write " + display_);
        return true;
    }
    const std::string& display() const { return display_; }

private:
    void open(const std::string& path, const std::string& display, const Format& format) {
        display_ = display;
        auto name = hostrt::makeString(path);
        check(api().SoundWriteFileOpen(name.get(), &file_, format.rate, format.channels, format.bits),
              "cannot write " + display);
    }

    TaskRefnum file_ = -1;
    std::unique_ptr<WavPipe> pipe_;
    std::string display_ = "standard output";
};

}  // namespace

int runRecord(const RecordOptions& options) {
    const Device device = chooseDevice(options.device.device, true);
    Format format = chooseFormat(device, options.device, Format{});
    const uint64_t frameBytes = static_cast<uint64_t>(format.channels) * static_cast<uint64_t>((format.bits + 7) / 8);
    const uint64_t maxFrames = kMaxDataBytes / frameBytes;
    int64_t wanted = -1;
    if (options.seconds) {
        wanted = std::llround(*options.seconds * format.rate);
        if (static_cast<uint64_t>(wanted) > maxFrames) {
            char text[200];
            std::snprintf(text, sizeof text,
                          "--seconds %g is too long for one WAV file: at %s it holds at most %.0f s (4 GiB)",
                          *options.seconds, describe(format).c_str(), static_cast<double>(maxFrames) / format.rate);
            throw UsageError(text);
        }
    }

    // A ring of 200 ms; blocks of 50 ms keep the meter lively.
    InputTask task(device, format, std::max(static_cast<int32_t>(format.rate / 5), 4));
    Destination out(options.file, format);
    note("recording %s from %s: %s%s", out.display().c_str(), describe(device).c_str(), describe(format).c_str(),
         wanted < 0 ? "; Ctrl-C ends" : "");

    const int32_t blockFrames = std::max(static_cast<int32_t>(format.rate / 20), 1);
    auto block = hostrt::makeArray2D(TW_TYPE_I32, format.channels, blockFrames);
    const uint64_t limit = wanted < 0 ? maxFrames : static_cast<uint64_t>(wanted);
    const double total = wanted < 0 ? -1.0 : static_cast<double>(wanted) / format.rate;
    Progress progress("  recording");
    uint64_t recorded = 0;
    bool full = false;
    while (recorded < limit && !stopRequested()) {
        const auto ask = static_cast<int32_t>(std::min<uint64_t>(blockFrames, limit - recorded));
        const int32_t got = task.read(block.get(), ask, TW_TYPE_I32);
        if (got == 0) continue;
        if (!out.write(block.get(), format.channels, got)) {
            stopForClosedPipe();
            break;
        }
        recorded += static_cast<uint64_t>(got);
        progress.show(static_cast<double>(recorded) / format.rate, total,
                      rowPeaks(hostrt::elements2D<int32_t>(block.get()), format.channels, got, false));
        full = wanted < 0 && recorded >= maxFrames;
    }
    progress.end();
    if (full) warning("the WAV file is full (4 GiB); the recording ends here");
    note("recorded %llu frames (%.2f s) to %s", static_cast<unsigned long long>(recorded),
         static_cast<double>(recorded) / format.rate, out.display().c_str());
    return stopRequested() ? stopExitCode() : kExitOk;
}

}  // namespace cli
