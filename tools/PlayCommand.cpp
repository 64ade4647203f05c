// tonewell play FILE: a WAV file streamed block by block through a
// continuous output task; a MIDI file goes to the midi command.
#include <algorithm>
#include <string>

#include "Console.h"
#include "Devices.h"
#include "Failure.h"
#include "Library.h"
#include "Options.h"
#include "Signals.h"
#include "SoundFile.h"
#include "Spool.h"
#include "Tasks.h"
#include "hostrt/HostRuntime.h"

namespace cli {

namespace {

int playWave(const InputFile& input, const Device& device) {
    ReadFile file(input.path(), input.display());
    Format format{file.rate, file.channels, file.bits == 8 || file.bits == 24 || file.bits == 32 ? file.bits : 16};
    // Half a second of ring: room for a slow disk, a quick stop.
    OutputTask task(device, format, std::max(static_cast<int32_t>(format.rate / 2), 64));
    note("playing %s on %s: %s", input.display().c_str(), describe(device).c_str(), describe(format).c_str());

    const int32_t blockFrames = std::max(static_cast<int32_t>(file.rate / 10), 1);
    auto block = hostrt::makeArray2D(TW_TYPE_I32, file.channels, blockFrames);
    Progress progress("  playing");
    int64_t played = 0;
    uint8_t eof = 0;
    while (!eof && !stopRequested()) {
        int32_t frames = 0;
        check(api().SoundReadFileData(file.refnum(), 2, 0, blockFrames, TW_TYPE_I32, 0, block.get(), &frames, &eof),
              "cannot read " + input.display());
        if (frames == 0) break;
        task.write(block.get(), TW_TYPE_I32);
        played += frames;
        progress.show(static_cast<double>(played) / file.rate, file.duration,
                      rowPeaks(hostrt::elements2D<int32_t>(block.get()), file.channels, hostrt::cols(block.get()),
                               false));
    }
    task.drain();
    progress.end();
    return stopRequested() ? stopExitCode() : kExitOk;
}

}  // namespace

int runPlay(const PlayOptions& options) {
    InputFile input(options.file);
    if (stopRequested()) return stopExitCode();
    if (looksLikeMidi(input.path())) return playMidi(input, options);
    return playWave(input, chooseDevice(options.device, false));
}

}  // namespace cli
