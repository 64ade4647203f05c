// tonewell midi FILE: a MIDI file (or any file the music engine loads)
// played with one PlaySoundFile call, watched until it ends.
#include <chrono>
#include <thread>

#include "Console.h"
#include "Devices.h"
#include "Errors.h"
#include "Failure.h"
#include "Library.h"
#include "Options.h"
#include "Signals.h"
#include "Spool.h"
#include "hostrt/HostRuntime.h"
#include "platform/Module.h"
#include "tonewell_music_control.h"

namespace cli {

namespace {

bool isPlaying(TaskRefnum task) {
    uint8_t input = 0, running = 0, continuous = 0;
    api().GetConfState(task, &input, &running, &continuous);
    return running != 0;
}

// The song's length, from the music engine the library has loaded (its
// control interface serves tools); -1 when it cannot tell.
double songSeconds() {
    // The library holds the engine loaded; looking takes no reference.
    void* engine = tw::platform::findLoadedModule(TWM_MODULE_FILE);
    if (!engine) return -1;
    auto lastSegment = reinterpret_cast<decltype(&::twm_control_last_segment)>(
        tw::platform::findSymbol(engine, "twm_control_last_segment"));
    twm_segment_info info{};
    const bool known = lastSegment && lastSegment(&info) == TWM_OK;
    return known ? info.duration_ms / 1000.0 : -1;
}

class MidiTask {
public:
    MidiTask(const Device& device, const std::string& path, const std::string& display) {
        auto name = hostrt::makeString(path);
        check(api().PlaySoundFile(device.index, name.get(), 0, &refnum_),
              "cannot play " + display + " on " + describe(device));
    }
    ~MidiTask() {
        api().SOStop(refnum_);
        api().SOClear(refnum_);
    }
    MidiTask(const MidiTask&) = delete;
    MidiTask& operator=(const MidiTask&) = delete;
    TaskRefnum refnum() const { return refnum_; }

private:
    TaskRefnum refnum_ = -1;
};

}  // namespace

int runMidi(const PlayOptions& options) {
    InputFile input(options.file);
    if (stopRequested()) return stopExitCode();
    return playMidi(input, options);
}

int playMidi(InputFile& input, const PlayOptions& options) {
    // The engine reads a file as MIDI when its name says so.
    if (looksLikeMidi(input.path())) input.ensureSuffix(".mid");
    const Device device = chooseDevice(options.device, false);
    MidiTask task(device, input.path(), input.display());
    if (options.volume != 100) {
        auto volume = hostrt::makeInt32Array({options.volume});
        const int32_t r = api().SOVolume(task.refnum(), volume.get());
        check(r, "cannot set the volume");
        if (r < 0) warning("%s", describeCode(r).c_str());
    }
    const double total = songSeconds();
    note("playing %s on %s%s", input.display().c_str(), describe(device).c_str(),
         total >= 0 ? (" (" + clock(total) + ")").c_str() : "");

    Progress progress("  playing");
    const auto started = std::chrono::steady_clock::now();
    while (isPlaying(task.refnum()) && !stopRequested()) {
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        progress.show(elapsed, total, {});
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    progress.end();
    return stopRequested() ? stopExitCode() : kExitOk;
}

}  // namespace cli
