// What the command line asks for, one record per command. CommandLine.cpp
// fills them (with CLI11); the commands read them and never parse text.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cli {

struct GlobalOptions {
    std::string driver;  // empty: TONEWELL_SOUND_DRIVER, else alsa
    bool quiet = false;
    int verbose = 0;
};

// A device by index or by name, and the format asked of it. Unset values get
// each command's default.
struct DeviceOptions {
    std::string device = "0";
    std::optional<double> rate;
    std::optional<int> channels;
    std::optional<int> bits;
};

struct DevicesOptions {
    bool brief = false;  // -l: one line per device
    bool count = false;  // just the two counts
};

struct InfoOptions {
    std::vector<std::string> files;
};

struct PlayOptions {
    std::string file;  // "-": standard input
    std::string device = "0";
    int volume = 100;  // MIDI files only
};

struct RecordOptions {
    std::string file;  // "-": standard output
    DeviceOptions device;
    std::optional<double> seconds;  // unset: until interrupted
};

struct ToneOptions {
    double frequency = 440.0;
    double seconds = 1.0;
    double amplitude = 0.5;
    DeviceOptions device;
};

struct LevelOptions {
    DeviceOptions device;
    std::optional<double> seconds;
};

struct ErrorOptions {
    std::vector<int> codes;
};

// The commands, each returning the process's exit code.
int runDevices(const DevicesOptions& options);
int runInfo(const InfoOptions& options);
int runPlay(const PlayOptions& options);
int runMidi(const PlayOptions& options);
int runRecord(const RecordOptions& options);
int runTone(const ToneOptions& options);
int runLevel(const LevelOptions& options);
int runError(const ErrorOptions& options);

}  // namespace cli
