// Everything the tool says goes to standard error; standard output carries
// only results (tables, file descriptions, recorded sound). Progress lines
// are drawn only when standard error is a terminal.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

void setConsole(bool quiet, int verbose);
bool quiet();

// Messages: note (unless -q), detail (with -v), warning (always), and the
// two-line error report of a failure.
void note(const char* format, ...) __attribute__((format(printf, 1, 2)));
void detail(const char* format, ...) __attribute__((format(printf, 1, 2)));
void warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
void reportError(const std::string& message, const std::string& advice = {});

// "1:02.5" (minutes, seconds, tenths); hours when needed.
std::string clock(double seconds);
// dBFS of a linear peak (floor -99.9).
double toDb(double linear);

// The progress line of long work: elapsed / total time and one level bar per
// channel. On a terminal it redraws one line; elsewhere it stays silent.
class Progress {
public:
    explicit Progress(std::string label);
    ~Progress();
    // total < 0: unknown. peaks: linear 0..1 per channel (may be empty).
    void show(double elapsed, double total, const std::vector<double>& peaks);
    // Draws the last state given (if a redraw was skipped) and ends the line.
    void end();
    bool visible() const { return visible_; }

private:
    std::string label_;
    bool visible_;
    void draw(double elapsed, double total, const std::vector<double>& peaks);
    bool drawn_ = false;
    bool pending_ = false;
    int64_t lastDrawMs_ = -1000;
    double elapsed_ = 0, total_ = -1;
    std::vector<double> peaks_;
};

// Peak magnitude of each row of a rows x cols array of the element type,
// linear (full scale 1).
std::vector<double> rowPeaks(const void* elements, int32_t rows, int32_t cols, bool isDouble);

}  // namespace cli
