// Shared by the tests of the system's sound driver (ALSA on Linux,
// DirectSound on Windows) against a sound server: the sound module loaded
// with that driver, the check that a server answers, and signal measurements.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/WaveFormats.h"
#include "tonewell_sound.h"

namespace drivertest {

struct SoundModule {
    tws_sound_create_fn soundCreate = nullptr;
    tws_capture_create_fn captureCreate = nullptr;
    tws_sound_enumerate_fn soundEnumerate = nullptr;
    tws_capture_enumerate_fn captureEnumerate = nullptr;
};

// The module from TONEWELL_LIB_DIR, loaded once with the system's driver.
const SoundModule& module();
// That driver's name, and what it plays into, set up before the module loads.
extern const char* const kDriverName;
void prepareServer();
// Part of the library's name for the server's device in either direction.
extern const char* const kDefaultDeviceName;

struct Device {
    bool hasGuid;
    tws_guid guid;
    std::string description;
    std::string moduleName;  // what the driver reports as the device's module
};
std::vector<Device> enumerate(bool capture, tws_result* result = nullptr);
// What the driver's own names of a listed device must be like.
void expectDriverNaming(const Device& device);

// How far ahead of the wall clock the system may take or hand over sound, so
// that a notification or a captured block comes that much early.
extern const double kServerLead;

// Empty when the default devices of both directions open; otherwise why not.
std::string serverProblem();
// The part of that every driver shares: the default devices open.
std::string defaultDevicesProblem();

// Skips the test when no sound server answers, unless one is required (under
// CI, or when the test script started one), where a missing server fails.
#define REQUIRE_SOUND_SERVER()                                                             \
    do {                                                                                   \
        const std::string problem_ = ::drivertest::serverProblem();                        \
        if (!problem_.empty()) {                                                           \
            if (::drivertest::serverRequired()) FAIL() << "no sound server: " << problem_; \
            GTEST_SKIP() << "no sound server (start one with scripts/sound-server.sh): "   \
                         << problem_;                                                      \
        }                                                                                  \
    } while (0)
bool serverRequired();

using testhost::makeFormat;

// Interleaved signed 16-bit samples.
std::vector<int16_t> sine(double frequency, uint32_t rate, uint32_t frames, uint16_t channels,
                          double amplitude);
// One channel of interleaved 16-bit samples as doubles.
std::vector<double> channel(const std::vector<int16_t>& samples, uint16_t channels, uint16_t which);
double rms(const std::vector<double>& x);
// Power share of `frequency` (Goertzel) in the signal: near 1 for a pure tone.
double toneShare(const std::vector<double>& x, double frequency, uint32_t rate);

}  // namespace drivertest
