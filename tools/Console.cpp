#include "Console.h"

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace cli {

namespace {

bool gQuiet = false;
int gVerbose = 0;

void say(const char* format, va_list args) {
    std::fputs("tonewell: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
}

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

void setConsole(bool quietOn, int verbose) {
    gQuiet = quietOn;
    gVerbose = verbose;
}

bool quiet() { return gQuiet; }

void note(const char* format, ...) {
    if (gQuiet) return;
    va_list args;
    va_start(args, format);
    say(format, args);
    va_end(args);
}

void detail(const char* format, ...) {
    if (gVerbose == 0) return;
    va_list args;
    va_start(args, format);
    say(format, args);
    va_end(args);
}

void warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::fputs("tonewell: warning: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

void reportError(const std::string& message, const std::string& advice) {
    std::fprintf(stderr, "tonewell: %s\n", message.c_str());
    if (!advice.empty()) std::fprintf(stderr, "  %s\n", advice.c_str());
}

std::string clock(double seconds) {
    if (!(seconds >= 0)) seconds = 0;
    const auto tenths = static_cast<int64_t>(seconds * 10);
    const int64_t whole = tenths / 10;
    char text[48];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%lld", static_cast<long long>(whole / 3600),
                      static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60),
                      static_cast<long long>(tenths % 10));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%lld", static_cast<long long>(whole / 60),
                      static_cast<long long>(whole % 60), static_cast<long long>(tenths % 10));
    return text;
}

double toDb(double linear) { return linear > 0 ? std::fmax(20.0 * std::log10(linear), -99.9) : -99.9; }

Progress::Progress(std::string label) : label_(std::move(label)), visible_(!gQuiet && ::isatty(2) == 1) {}

Progress::~Progress() { end(); }

void Progress::show(double elapsed, double total, const std::vector<double>& peaks) {
    if (!visible_) return;
    // A terminal needs no more than ten redraws a second.
    const int64_t now = nowMs();
    if (now - lastDrawMs_ < 100) {
        elapsed_ = elapsed;
        total_ = total;
        peaks_ = peaks;
        pending_ = true;
        return;
    }
    lastDrawMs_ = now;
    draw(elapsed, total, peaks);
}

void Progress::draw(double elapsed, double total, const std::vector<double>& peaks) {
    pending_ = false;
    std::string line = "\r" + label_ + "  " + clock(elapsed);
    if (total >= 0) line += " / " + clock(total);
    constexpr double kFloor = -60.0;
    const int width = peaks.size() > 2 ? 40 / static_cast<int>(peaks.size()) : 20;
    for (size_t ch = 0; ch < peaks.size(); ++ch) {
        const double db = toDb(peaks[ch]);
        int filled = static_cast<int>(std::lround((std::fmax(db, kFloor) - kFloor) / -kFloor * width));
        filled = filled < 0 ? 0 : (filled > width ? width : filled);
        char value[16];
        std::snprintf(value, sizeof value, "%6.1f", std::fmax(db, kFloor));
        line += "  " + std::to_string(ch + 1) + " [" + std::string(static_cast<size_t>(filled), '#') +
                std::string(static_cast<size_t>(width - filled), '-') + "]" + value;
    }
    if (!peaks.empty()) line += " dB";
    line += "\x1b[K";  // clear what a longer line left
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    drawn_ = true;
}

void Progress::end() {
    if (pending_) draw(elapsed_, total_, peaks_);
    if (drawn_) std::fputc('\n', stderr);
    drawn_ = false;
}

std::vector<double> rowPeaks(const void* elements, int32_t rows, int32_t cols, bool isDouble) {
    std::vector<double> peaks(static_cast<size_t>(rows > 0 ? rows : 0), 0.0);
    for (int32_t r = 0; r < rows; ++r) {
        double peak = 0;
        for (int32_t c = 0; c < cols; ++c) {
            const size_t i = static_cast<size_t>(r) * static_cast<size_t>(cols) + static_cast<size_t>(c);
            const double v = isDouble ? static_cast<const double*>(elements)[i]
                                      : static_cast<const int32_t*>(elements)[i] / 2147483648.0;
            peak = std::fmax(peak, std::fabs(v));
        }
        peaks[static_cast<size_t>(r)] = peak;
    }
    return peaks;
}

}  // namespace cli
