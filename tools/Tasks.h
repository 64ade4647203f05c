// Output and input tasks as the commands use them: configured on a chosen
// device in continuous mode, stopped and cleared when they go out of scope.
#pragma once

#include <cstdint>
#include <set>
#include <string>

#include "Devices.h"
#include "Options.h"
#include "tonewell/tonewell.h"

namespace cli {

struct Format {
    double rate = 44100;
    int32_t channels = 2;
    int32_t bits = 16;
};

// The format asked on the command line, checked against what the device
// lists; values not given are the defaults, or the device's nearest.
Format chooseFormat(const Device& device, const DeviceOptions& options, Format defaults);
std::string describe(const Format& format);

class OutputTask {
public:
    // Configures; `format` comes back as the device set it up. Throws.
    OutputTask(const Device& device, Format& format, int32_t ringFrames);
    ~OutputTask();
    OutputTask(const OutputTask&) = delete;
    OutputTask& operator=(const OutputTask&) = delete;

    // Plays the block, blocking while the ring is full. Throws on an error.
    void write(TwArrayHandle block, uint16_t typeCode);
    // Waits until what was written has played, or until a stop is asked.
    void drain();
    TaskRefnum refnum() const { return refnum_; }

private:
    TaskRefnum refnum_ = -1;
    std::string device_;
    std::set<int32_t> warnings_;
};

class InputTask {
public:
    InputTask(const Device& device, Format& format, int32_t ringFrames);
    ~InputTask();
    InputTask(const InputTask&) = delete;
    InputTask& operator=(const InputTask&) = delete;

    // Fills the block with up to `frames` frames (the array is resized to
    // what it holds) and returns how many; 0 when none came within half a
    // second, so the caller can look at the stop flag. Throws on an error.
    int32_t read(TwArrayHandle block, int32_t frames, uint16_t typeCode);

private:
    TaskRefnum refnum_ = -1;
    std::string device_;
};

// Warnings a task reported, each once: "samples were clipped (warning ...)".
void reportWarnings(const std::set<int32_t>& codes);

}  // namespace cli
