// tonewell info | play | record: WAV files through the file exports.
//   info FILE                       format, duration and frame count
//   play FILE [--device N]          streams the file to an output device
//   record FILE --seconds S [...]   captures from a capture device into FILE
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Command.h"
#include "HostRuntime.h"
#include "Library.h"
#include "MidiCommand.h"

namespace {

volatile std::sig_atomic_t gInterrupted = 0;
void onInterrupt(int) { gInterrupted = 1; }

// Keeps Ctrl-C for the command while it runs.
class InterruptScope {
public:
    InterruptScope() : previous_(std::signal(SIGINT, onInterrupt)) { gInterrupted = 0; }
    ~InterruptScope() { std::signal(SIGINT, previous_); }

private:
    void (*previous_)(int);
};

struct FileInfo {
    double rate = 0, duration = 0;
    int32_t channels = 0, bits = 0, frames = 0;
};

// Opens FILE for reading; prints why when it cannot. -1 on failure.
TaskRefnum openForReading(const std::string& path, FileInfo& info) {
    const cli::Api& api = cli::api();
    cli::HostString name(path);
    TaskRefnum file = -1;
    int32_t r = api.SoundReadFileOpen(name.handle(), &file);
    if (r == 0) r = api.SoundFileInfoRef(file, 0, &info.rate, &info.channels, &info.bits, &info.duration, &info.frames);
    if (r != 0) {
        std::fprintf(stderr, "tonewell: cannot read %s as a sound file (error %d)\n", path.c_str(), r);
        if (file >= 0) api.SoundFileClose(file);
        return -1;
    }
    return file;
}

std::string clock(double seconds) {
    char text[32];
    const int whole = static_cast<int>(seconds);
    std::snprintf(text, sizeof text, "%d:%02d.%d", whole / 60, whole % 60, static_cast<int>(seconds * 10) % 10);
    return text;
}

int runInfo(const cli::Args& args) {
    const cli::Args pos = cli::positionals(args);
    if (pos.size() != 1) {
        std::fprintf(stderr, "usage: tonewell info FILE\n");
        return 2;
    }
    FileInfo info;
    const TaskRefnum file = openForReading(pos[0], info);
    if (file < 0) return 1;
    std::printf("%s\n", pos[0].c_str());
    std::printf("  format:   %d channel%s, %.0f Hz, %d bits per sample\n", info.channels, info.channels == 1 ? "" : "s",
                info.rate, info.bits);
    std::printf("  duration: %.3f s (%s)\n", info.duration, clock(info.duration).c_str());
    std::printf("  frames:   %d\n", info.frames);
    cli::api().SoundFileClose(file);
    return 0;
}

int runPlay(const cli::Args& args) {
    const cli::Args pos = cli::positionals(args);
    if (pos.size() != 1) {
        std::fprintf(stderr, "usage: tonewell play FILE [--device N]\n");
        return 2;
    }
    if (cli::isMidiFile(pos[0])) return cli::runMidi(args);
    const cli::Api& api = cli::api();
    FileInfo info;
    const TaskRefnum file = openForReading(pos[0], info);
    if (file < 0) return 1;

    const int32_t device = static_cast<int32_t>(cli::optionNumber(args, "--device", 0));
    double rate = info.rate;
    int32_t channels = info.channels;
    int32_t bits = info.bits == 8 || info.bits == 24 || info.bits == 32 ? info.bits : 16;
    TaskRefnum task = -1;
    const int32_t ringFrames = std::max(static_cast<int32_t>(rate / 2), 64);
    int32_t r = api.SOConfigure(device, ringFrames, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &task);
    if (r > 0) {
        std::fprintf(stderr, "tonewell play: cannot play on device %d (error %d)\n", device, r);
        api.SoundFileClose(file);
        return 1;
    }
    std::printf("Playing %s on device %d: %.0f Hz, %d channels, %d bits. Ctrl-C stops.\n", pos[0].c_str(), device,
                rate, channels, bits);

    InterruptScope interrupts;
    const int32_t blockFrames = std::max(static_cast<int32_t>(info.rate / 10), 1);
    cli::HostArray block(TW_TYPE_I32, info.channels, blockFrames);
    int32_t played = 0;
    int exitCode = 0;
    uint8_t eof = 0;
    while (!eof && !gInterrupted) {
        int32_t frames = 0;
        r = api.SoundReadFileData(file, 2, 0, blockFrames, TW_TYPE_I32, 0, block.handle(), &frames, &eof);
        if (r != 0) {
            std::fprintf(stderr, "\ntonewell play: reading stopped (error %d)\n", r);
            exitCode = 1;
            break;
        }
        if (frames == 0) break;
        r = api.SOWrite(task, block.handle(), -1.0, TW_TYPE_I32);
        if (r > 0) {
            std::fprintf(stderr, "\ntonewell play: playback stopped (error %d)\n", r);
            exitCode = 1;
            break;
        }
        played += frames;
        std::printf("\r  %s / %s  [%5.1f%%]", clock(played / info.rate).c_str(), clock(info.duration).c_str(),
                    info.frames > 0 ? 100.0 * played / info.frames : 100.0);
        std::fflush(stdout);
    }
    if (!gInterrupted && exitCode == 0) api.SOWait(task, -1.0);
    std::printf("\n");
    api.SOStop(task);
    api.SOClear(task);
    api.SoundFileClose(file);
    return exitCode;
}

// Peak of each row of a channels x frames int32 array, in dBFS (floor -60).
void showLevels(const cli::HostArray& block, double elapsed, double total) {
    const int rows = block.rows(), cols = block.cols();
    const auto* samples = reinterpret_cast<const int32_t*>(block.elements());
    std::printf("\r  %s / %s ", clock(elapsed).c_str(), clock(total).c_str());
    const int width = rows > 2 ? 48 / rows : 24;
    for (int r = 0; r < rows; ++r) {
        double peak = 0;
        for (int c = 0; c < cols; ++c) peak = std::fmax(peak, std::fabs(samples[r * cols + c] / 2147483648.0));
        const double db = peak > 0 ? std::fmax(20 * std::log10(peak), -60.0) : -60.0;
        const int filled = static_cast<int>(std::lround((db + 60.0) / 60.0 * width));
        std::printf(" %d [%s%s] %6.1f dB", r + 1, std::string(static_cast<size_t>(filled), '#').c_str(),
                    std::string(static_cast<size_t>(width - filled), '-').c_str(), db);
    }
    std::fflush(stdout);
}

int runRecord(const cli::Args& args) {
    const cli::Args pos = cli::positionals(args);
    const double seconds = cli::optionNumber(args, "--seconds", -1.0);
    if (pos.size() != 1 || !(seconds > 0)) {
        std::fprintf(stderr, "usage: tonewell record FILE --seconds S [--device N] [--rate HZ] [--channels N] [--bits B]\n");
        return 2;
    }
    const cli::Api& api = cli::api();
    const int32_t device = static_cast<int32_t>(cli::optionNumber(args, "--device", 0));
    double rate = cli::optionNumber(args, "--rate", 44100.0);
    int32_t channels = static_cast<int32_t>(cli::optionNumber(args, "--channels", 2));
    int32_t bits = static_cast<int32_t>(cli::optionNumber(args, "--bits", 16));
    TaskRefnum task = -1;
    const int32_t ringFrames = std::max(static_cast<int32_t>(rate / 5), 4);
    int32_t r = api.SIConfigure(device, ringFrames, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &task);
    if (r > 0) {
        std::fprintf(stderr, "tonewell record: cannot capture from device %d (error %d)\n", device, r);
        return 1;
    }
    cli::HostString name(pos[0]);
    TaskRefnum file = -1;
    r = api.SoundWriteFileOpen(name.handle(), &file, rate, channels, bits);
    if (r != 0) {
        std::fprintf(stderr, "tonewell record: cannot write %s (error %d)\n", pos[0].c_str(), r);
        api.SIClear(task);
        return 1;
    }
    std::printf("Recording %s from device %d: %.0f Hz, %d channels, %d bits. Ctrl-C stops.\n", pos[0].c_str(), device,
                rate, channels, bits);

    InterruptScope interrupts;
    const int32_t blockFrames = std::max(static_cast<int32_t>(rate / 20), 1);
    const int32_t wanted = static_cast<int32_t>(std::llround(seconds * rate));
    cli::HostArray block(TW_TYPE_I32, channels, blockFrames);
    int32_t recorded = 0;
    int exitCode = 0;
    while (recorded < wanted && !gInterrupted) {
        int32_t total = 0, written = 0;
        r = api.SIRead(task, block.handle(), std::min(blockFrames, wanted - recorded), &total, 1.0, TW_TYPE_I32);
        if (r == 4822) continue;  // nothing yet; Ctrl-C gets its chance
        if (r > 0) {
            std::fprintf(stderr, "\ntonewell record: capture ended (error %d)\n", r);
            exitCode = 1;
            break;
        }
        r = api.SoundWriteFileData(file, block.handle(), &written, TW_TYPE_I32);
        if (r > 0) {
            std::fprintf(stderr, "\ntonewell record: cannot write the file (error %d)\n", r);
            exitCode = 1;
            break;
        }
        recorded += written;
        showLevels(block, recorded / rate, wanted / rate);
    }
    std::printf("\n");
    api.SIStop(task);
    api.SIClear(task);
    api.SoundFileClose(file);
    std::printf("Wrote %d frames (%.2f s) to %s\n", recorded, recorded / rate, pos[0].c_str());
    return exitCode;
}

const cli::CommandRegistration kInfo({"info", "info FILE", "format, duration and frame count of a WAV file", runInfo});
const cli::CommandRegistration kPlay({"play", "play FILE [--device N]", "play a WAV file through an output task",
                                      runPlay});
const cli::CommandRegistration kRecord({"record", "record FILE --seconds S [--device N] [--rate HZ] [...]",
                                        "record from a capture device into a WAV file", runRecord});

}  // namespace
