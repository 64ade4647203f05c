// tonewell level: a live level meter of a capture device. Captures
// continuously and shows, for every channel, the peak of each 50 ms block as
// a bar and in dB of full scale, until Ctrl-C or --seconds have passed.
#include <csignal>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Command.h"
#include "HostRuntime.h"
#include "Library.h"

namespace {

volatile std::sig_atomic_t gInterrupted = 0;

void onInterrupt(int) { gInterrupted = 1; }

constexpr double kFloorDb = -60.0;

std::string bar(double db, int width) {
    int filled = static_cast<int>(std::lround((db - kFloorDb) / -kFloorDb * width));
    filled = filled < 0 ? 0 : (filled > width ? width : filled);
    return std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(width - filled), '-');
}

// Peak of each row of a channels x frames double array, in dBFS.
std::vector<double> peaksDb(const cli::HostArray& block) {
    const int rows = block.rows(), cols = block.cols();
    const auto* samples = reinterpret_cast<const double*>(block.elements());
    std::vector<double> peaks(static_cast<size_t>(rows), kFloorDb);
    for (int r = 0; r < rows; ++r) {
        double peak = 0.0;
        for (int c = 0; c < cols; ++c) peak = std::fmax(peak, std::fabs(samples[r * cols + c]));
        if (peak > 0.0) peaks[static_cast<size_t>(r)] = std::fmax(20.0 * std::log10(peak), kFloorDb);
    }
    return peaks;
}

void show(const std::vector<double>& peaks) {
    const int width = peaks.size() > 2 ? 60 / static_cast<int>(peaks.size()) : 30;
    std::printf("\r");
    for (size_t ch = 0; ch < peaks.size(); ++ch)
        std::printf("%zu [%s] %6.1f dB  ", ch + 1, bar(peaks[ch], width).c_str(), peaks[ch]);
    std::fflush(stdout);
}

int runLevel(const cli::Args& args) {
    const cli::Args pos = cli::positionals(args);
    const int32_t device = pos.empty() ? 0 : std::atoi(pos[0].c_str());
    double rate = cli::optionNumber(args, "--rate", 44100.0);
    int32_t channels = static_cast<int32_t>(cli::optionNumber(args, "--channels", 2));
    int32_t bits = static_cast<int32_t>(cli::optionNumber(args, "--bits", 16));
    const double seconds = cli::optionNumber(args, "--seconds", -1.0);

    const cli::Api& api = cli::api();
    TaskRefnum task = -1;
    // A ring of 200 ms gives the meter room to lag a little without overrunning.
    const int32_t ringFrames = static_cast<int32_t>(rate / 5) > 4 ? static_cast<int32_t>(rate / 5) : 4;
    int32_t r = api.SIConfigure(device, ringFrames, &rate, &channels, &bits, 1, &task);
    if (r > 0) {
        std::fprintf(stderr, "tonewell level: cannot capture from device %d (error %d)\n", device, r);
        return 1;
    }
    std::printf("Capture device %d: %.0f Hz, %d channels, %d bits. Ctrl-C ends.\n", device, rate, channels, bits);

    gInterrupted = 0;
    auto previous = std::signal(SIGINT, onInterrupt);
    const int32_t blockFrames = rate / 20 >= 1 ? static_cast<int32_t>(rate / 20) : 1;
    cli::HostArray block(TW_TYPE_F64, channels, blockFrames);
    int exitCode = 0;
    double captured = 0.0;
    while (!gInterrupted && (seconds < 0 || captured < seconds)) {
        int32_t total = 0;
        r = api.SIRead(task, block.handle(), blockFrames, &total, 1.0, TW_TYPE_F64);
        if (r == 4822) continue;  // nothing yet; Ctrl-C gets its chance
        if (r > 0) {
            std::fprintf(stderr, "\ntonewell level: capture ended (error %d)\n", r);
            exitCode = 1;
            break;
        }
        show(peaksDb(block));
        captured += block.cols() / rate;
    }
    std::printf("\n");
    std::signal(SIGINT, previous);
    api.SIStop(task);
    api.SIClear(task);
    return exitCode;
}

const cli::CommandRegistration kRegistration({"level", "level [DEVICE] [--seconds S]",
                                              "live level meter of a capture device (also --rate, --channels, --bits)",
                                              runLevel});

}  // namespace
