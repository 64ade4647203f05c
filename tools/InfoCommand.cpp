// tonewell info FILE...: what a WAV file holds, as sndfile-info shows it:
// format, frames, duration, the chunks present, and the peak and RMS level
// of each channel.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "Console.h"
#include "Failure.h"
#include "Library.h"
#include "Options.h"
#include "RiffScan.h"
#include "Signals.h"
#include "SoundFile.h"
#include "Spool.h"
#include "hostrt/HostRuntime.h"

namespace cli {

namespace {

struct Levels {
    std::vector<double> peak, rms;
    int64_t frames = 0;
};

// Reads the whole file as doubles through the library.
Levels measure(const ReadFile& file) {
    const hostrt::Exports& lib = api();
    const int32_t block = 65536;
    auto data = hostrt::makeArray2D(TW_TYPE_F64, file.channels, block);
    const auto channels = static_cast<size_t>(file.channels);
    std::vector<double> peak(channels, 0.0), sum(channels, 0.0);
    int64_t frames = 0;
    uint8_t eof = 0;
    while (!eof && !stopRequested()) {
        int32_t got = 0;
        check(lib.SoundReadFileData(file.refnum(), 2, 0, block, TW_TYPE_F64, 0, data.get(), &got, &eof),
              "cannot read the samples");
        if (got <= 0) break;
        const double* v = hostrt::elements2D<double>(data.get());
        const int32_t cols = hostrt::cols(data.get());
        for (size_t ch = 0; ch < channels; ++ch) {
            for (int32_t i = 0; i < got; ++i) {
                const double x = v[ch * static_cast<size_t>(cols) + static_cast<size_t>(i)];
                peak[ch] = std::fmax(peak[ch], std::fabs(x));
                sum[ch] += x * x;
            }
        }
        frames += got;
    }
    Levels levels;
    levels.frames = frames;
    levels.peak = peak;
    for (double s : sum) levels.rms.push_back(frames > 0 ? std::sqrt(s / static_cast<double>(frames)) : 0.0);
    return levels;
}

std::string dbList(const std::vector<double>& values) {
    std::string s;
    char text[32];
    for (double v : values) {
        std::snprintf(text, sizeof text, "%s%.2f", s.empty() ? "" : ", ", toDb(v));
        s += text;
    }
    return s + " dBFS";
}

void describe(const std::string& name) {
    InputFile input(name);
    RiffScan scan;
    scanRiff(input.path(), scan);
    ReadFile file(input.path(), input.display());

    // The library counts frames in 32 bits, from the data chunk's header. The
    // frames the file holds count here: a stream written to a pipe says
    // "as long as it goes", and past 2^31 frames only 64 bits hold the count.
    int64_t frames = file.frames;
    int64_t claimed = -1;
    for (const RiffChunk& c : scan.chunks) {
        if (c.id != "data" || scan.blockAlign == 0) continue;
        const uint64_t present = std::min<uint64_t>(c.size, scan.fileSize - c.offset - 8);
        frames = static_cast<int64_t>(present / scan.blockAlign);
        if (c.truncated) claimed = c.size / scan.blockAlign;
    }
    const double duration = file.rate > 0 ? static_cast<double>(frames) / file.rate : file.duration;

    std::printf("%s\n", input.display().c_str());
    std::printf("  Format:    %s, %d channel%s, %.0f Hz, %d bits", formatName(scan).c_str(), file.channels,
                file.channels == 1 ? "" : "s", file.rate, file.bits);
    if (scan.validBits != 0 && scan.validBits != file.bits) std::printf(" (%d valid)", scan.validBits);
    std::printf("\n  Frames:    %lld", static_cast<long long>(frames));
    if (claimed >= 0) std::printf(" (its header claims %lld: a stream of open length, or a cut file)",
                                  static_cast<long long>(claimed));
    std::printf("\n");
    std::printf("  Duration:  %.3f s (%s)\n", duration, clock(duration).c_str());
    std::printf("  File:      %llu bytes; RIFF %s of %u bytes\n", static_cast<unsigned long long>(scan.fileSize),
                scan.form.c_str(), scan.riffSize);
    const char* label = "  Chunks:    ";
    for (const RiffChunk& c : scan.chunks) {
        std::printf("%s'%s'%s%s at %llu, %u bytes%s\n", label, c.id.c_str(), c.listType.empty() ? "" : " ",
                    c.listType.c_str(), static_cast<unsigned long long>(c.offset), c.size,
                    c.truncated ? " (the file ends before it does)" : "");
        label = "             ";
    }
    const Levels levels = measure(file);
    std::printf("  Peak:      %s\n", dbList(levels.peak).c_str());
    std::printf("  RMS:       %s\n", dbList(levels.rms).c_str());
}

}  // namespace

int runInfo(const InfoOptions& options) {
    int status = kExitOk;
    for (size_t i = 0; i < options.files.size() && !stopRequested(); ++i) {
        if (i) std::printf("\n");
        try {
            describe(options.files[i]);
        } catch (const LibraryError& e) {
            // One file that cannot be read does not end the list.
            std::fflush(stdout);
            status = reportFailure(e);
        }
    }
    return stopRequested() ? stopExitCode() : status;
}

}  // namespace cli
