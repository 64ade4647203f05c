// Shared by the ALSA driver tests: the sound module loaded with the alsa
// driver, the check that a sound server answers, and signal measurements.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "host/WaveFormats.h"
#include "tonewell_sound.h"

namespace alsatest {

struct SoundModule {
    tws_sound_create_fn soundCreate = nullptr;
    tws_capture_create_fn captureCreate = nullptr;
    tws_sound_enumerate_fn soundEnumerate = nullptr;
    tws_capture_enumerate_fn captureEnumerate = nullptr;
};

// The module from TONEWELL_LIB_DIR, loaded once with the alsa driver.
const SoundModule& module();

struct Device {
    bool hasGuid;
    tws_guid guid;
    std::string description;
    std::string alsaName;  // the module name the driver reports
};
std::vector<Device> enumerate(bool capture, tws_result* result = nullptr);

// Empty when the default devices of both directions open; otherwise why not.
std::string serverProblem();

// Skips the test when no sound server answers, unless one is required (under
// CI, or when the test script started one), where a missing server fails.
#define REQUIRE_SOUND_SERVER()                                                             \
    do {                                                                                   \
        const std::string problem_ = ::alsatest::serverProblem();                          \
        if (!problem_.empty()) {                                                           \
            if (::alsatest::serverRequired()) FAIL() << "no sound server: " << problem_;   \
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

}  // namespace alsatest
