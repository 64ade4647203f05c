// tonewell midi FILE: plays a MIDI file (or any file the music engine loads)
// with PlaySoundFile and shows the elapsed time until it has ended.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cctype>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "HostRuntime.h"
#include "Library.h"
#include "MidiCommand.h"

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void onInterrupt(int) { gInterrupted = 1; }

bool isPlaying(TaskRefnum task) {
    uint8_t input = 0, running = 0, continuous = 0;
    cli::api().GetConfState(task, &input, &running, &continuous);
    return running != 0;
}

}  // namespace

namespace cli {

bool isMidiFile(const std::string& path) {
    std::string lower = path;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    for (const char* ext : {".mid", ".midi", ".rmi"}) {
        std::string e = ext;
        if (lower.size() >= e.size() && lower.compare(lower.size() - e.size(), e.size(), e) == 0) return true;
    }
    return false;
}

int runMidi(const Args& args) {
    const Args pos = positionals(args);
    if (pos.size() != 1) {
        std::fprintf(stderr, "usage: tonewell midi FILE [--device N] [--volume 0..100]\n");
        return 2;
    }
    // The library looks relative names up beside the file; hand it a full path.
    char full[PATH_MAX];
    if (!::realpath(pos[0].c_str(), full)) {
        std::fprintf(stderr, "tonewell midi: cannot find %s\n", pos[0].c_str());
        return 1;
    }
    const Api& lib = api();
    const int32_t device = static_cast<int32_t>(optionNumber(args, "--device", 0));
    HostString path(full);
    TaskRefnum task = -1;
    int32_t r = lib.PlaySoundFile(device, path.handle(), 0, &task);
    if (r > 0 || task < 0) {
        std::fprintf(stderr, "tonewell midi: cannot play %s on device %d (error %d)\n", full, device, r);
        return 1;
    }
    if (hasOption(args, "--volume")) {
        // A one-element array the library only reads.
        int32_t block[2] = {1, static_cast<int32_t>(optionNumber(args, "--volume", 100))};
        int32_t* blockPointer = block;
        lib.SOVolume(task, reinterpret_cast<TwArrayHandle>(&blockPointer));
    }
    std::printf("Playing %s on device %d. Ctrl-C stops.\n", full, device);

    std::signal(SIGINT, onInterrupt);
    const auto started = std::chrono::steady_clock::now();
    while (isPlaying(task) && !gInterrupted) {
        double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("\r  %02d:%05.2f", static_cast<int>(elapsed) / 60, elapsed - 60 * (static_cast<int>(elapsed) / 60));
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("\r  %02d:%05.2f  %s\n", static_cast<int>(elapsed) / 60, elapsed - 60 * (static_cast<int>(elapsed) / 60),
                gInterrupted ? "stopped" : "done");
    lib.SOStop(task);
    lib.SOClear(task);
    std::signal(SIGINT, SIG_DFL);
    return 0;
}

}  // namespace cli

namespace {
const cli::CommandRegistration kRegistration({"midi", "midi FILE [--device N] [--volume V]",
                                              "play a MIDI or other sound file with PlaySoundFile", cli::runMidi});
}  // namespace
