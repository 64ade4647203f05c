// tonewell tone: plays a sine through a continuous output task, block after
// block, then lets the stream run out.
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <numbers>

#include "Command.h"
#include "HostRuntime.h"
#include "Library.h"

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void onInterrupt(int) { gInterrupted = 1; }

// Fills a one-row double array with the sine from frame `first` on.
void fillSine(cli::HostArray& block, double frequency, double rate, double amplitude, int64_t first) {
    auto* samples = reinterpret_cast<double*>(block.elements());
    for (int32_t i = 0; i < block.cols(); ++i)
        samples[i] = amplitude * std::sin(2.0 * std::numbers::pi * frequency * static_cast<double>(first + i) / rate);
}

int runTone(const cli::Args& args) {
    const cli::Args pos = cli::positionals(args);
    const double frequency = cli::optionNumber(args, "--freq", pos.empty() ? 440.0 : std::atof(pos[0].c_str()));
    const double seconds = cli::optionNumber(args, "--seconds", 2.0);
    const double amplitude = cli::optionNumber(args, "--amplitude", 0.5);
    const int32_t device = static_cast<int32_t>(cli::optionNumber(args, "--device", 0));
    double rate = cli::optionNumber(args, "--rate", 44100.0);
    int32_t bits = static_cast<int32_t>(cli::optionNumber(args, "--bits", 16));
    int32_t channels = 2;
    if (!(frequency > 0) || !(seconds > 0) || !(rate >= 8) || !(amplitude >= 0 && amplitude <= 1)) {
        std::fprintf(stderr, "tonewell tone: frequency, seconds and rate must be positive, amplitude 0..1\n");
        return 2;
    }

    const cli::Api& api = cli::api();
    TaskRefnum task = -1;
    // A ring of a quarter second: each quarter of it lasts about 60 ms.
    const int32_t ringFrames = std::max(static_cast<int32_t>(rate / 4), 16);
    int32_t r = api.SOConfigure(device, ringFrames, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &task);
    if (r > 0) {
        std::fprintf(stderr, "tonewell tone: cannot play on device %d (error %d)\n", device, r);
        return 1;
    }
    std::printf("Playing %.1f Hz for %.1f s on device %d: %.0f Hz, %d channels, %d bits. Ctrl-C stops.\n", frequency,
                seconds, device, rate, channels, bits);

    std::signal(SIGINT, onInterrupt);
    const int64_t total = std::llround(seconds * rate);
    const int32_t blockFrames = std::max(static_cast<int32_t>(rate / 10), 1);
    int exitCode = 0;
    bool clipped = false;
    for (int64_t written = 0; written < total && !gInterrupted;) {
        // One row: the library plays it on every channel.
        cli::HostArray block(TW_TYPE_F64, 1, static_cast<int32_t>(std::min<int64_t>(blockFrames, total - written)));
        fillSine(block, frequency, rate, amplitude, written);
        r = api.SOWrite(task, block.handle(), -1.0, TW_TYPE_F64);
        if (r > 0) {
            std::fprintf(stderr, "\ntonewell tone: playback stopped (error %d)\n", r);
            exitCode = 1;
            break;
        }
        clipped = clipped || r == TW_W_CLIPPED;
        written += block.cols();
        std::printf("\r  %6.2f s", static_cast<double>(written) / rate);
        std::fflush(stdout);
    }
    if (!gInterrupted && exitCode == 0) api.SOWait(task, -1.0);
    std::printf("\n");
    if (clipped) std::printf("  (some samples were clipped)\n");
    api.SOStop(task);
    api.SOClear(task);
    std::signal(SIGINT, SIG_DFL);
    return exitCode;
}

const cli::CommandRegistration kRegistration(
    {"tone", "tone [FREQ] [--seconds S] [--device N] [--rate HZ] [--bits B] [--amplitude A]",
     "play a sine through a continuous output task", runTone});

}  // namespace
