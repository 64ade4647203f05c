// How commands fail, and the exit codes that tell a caller why. The codes are
// documented in the manual page and stay as they are:
//   0 success, 1 usage (bad command line or value), 2 the library or a file
//   refused the work, 128+N stopped by signal N (130 for Ctrl-C).
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFailed = 2;

// A bad command line or value, found before any work was done; the advice
// says what to do instead.
struct UsageError : std::runtime_error {
    explicit UsageError(const std::string& what,
                        std::string advice = "Run 'tonewell COMMAND --help' for the command's options.")
        : std::runtime_error(what), advice(std::move(advice)) {}
    std::string advice;
};

// The library returned an error code; `what` says what was being done.
struct LibraryError : std::runtime_error {
    LibraryError(const std::string& doing, int32_t code) : std::runtime_error(doing), code(code) {}
    int32_t code;
};

// A failure outside the library (a file the tool itself reads or writes).
struct ToolError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Throws LibraryError for an error code; warnings pass.
void check(int32_t code, const std::string& doing);

// Says what failed, in words, with what to try; returns the exit code.
int reportFailure(const std::exception& failure);

}  // namespace cli
