// End to end through the library's exports on the real devices: an output
// task streams into the sound server's null sink while an input task
// captures its monitor.
#include <cmath>
#include <thread>

#include "AlsaTestSupport.h"
#include "host/Library.h"
#include "host/TestHost.h"

namespace alsatest {
namespace {

using testhost::library;

constexpr double kRate = 44100;
constexpr int32_t kRing = 44100;      // frames of each task's ring: quarters of a segment
constexpr int32_t kSegment = 11025;   // a quarter of a second per tone
constexpr double kTones[] = {330.75, 551.25, 882.0, 1323.0, 1764.0, 2205.0};  // whole cycles per segment
constexpr int kSilenceSegments = 2;   // written after the tones

struct Devices {
    int32_t output = -1;
    int32_t input = -1;
};

std::string deviceName(int32_t index, uint8_t input) {
    auto channels = testhost::makeInt32Array({});
    auto bits = testhost::makeInt32Array({});
    auto name = testhost::makeString("");
    double lo = 0, hi = 0;
    library()->SoundDeviceInfo(index, &input, channels.get(), bits.get(), &lo, &hi, name.get());
    return testhost::readString(name.get());
}

// The index of ALSA's default device (the server) in each direction; the
// capabilities behind it are the driver tests' (EnumerationTest).
Devices findDefaults() {
    Devices d;
    for (uint8_t input : {uint8_t{0}, uint8_t{1}}) {
        int32_t count = 0;
        library()->SoundNumDevices(&input, &count);
        for (int32_t i = 0; i < count; ++i) {
            const std::string name = deviceName(i, input);
            EXPECT_EQ(name.find("(null)"), std::string::npos) << "a missing description printed as (null)";
            if (name.find("(default)") != std::string::npos) (input ? d.input : d.output) = i;
        }
    }
    return d;
}

class Loopback : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SOUND_SERVER();
        ASSERT_TRUE(library().loaded()) << library().error();
        devices_ = findDefaults();
        ASSERT_GE(devices_.output, 0);
        ASSERT_GE(devices_.input, 0);
    }
    void TearDown() override {
        if (output_ >= 0) library()->SOClear(output_);
        if (input_ >= 0) library()->SIClear(input_);
    }

    void configure() {
        double rate = kRate;
        int32_t channels = 2, bits = 16;
        ASSERT_EQ(library()->SIConfigure(devices_.input, kRing, &rate, &channels, &bits,
                                         TW_MODE_CONTINUOUS, &input_), 0);
        rate = kRate;
        ASSERT_EQ(library()->SOConfigure(devices_.output, kRing, &rate, &channels, &bits,
                                         TW_MODE_CONTINUOUS, &output_), 0);
        EXPECT_EQ(rate, kRate);
        EXPECT_EQ(channels, 2);
        EXPECT_EQ(bits, 16);
    }

    // Writes `left` (the right channel is its negation) in blocks of a
    // segment on a thread while this one captures `captureFrames`.
    std::vector<int16_t> playAndCapture(const std::vector<int16_t>& left, int32_t captureFrames,
                                        std::vector<int32_t>* writeResults = nullptr) {
        std::vector<int32_t> results;
        std::thread writer([&] {
            for (size_t first = 0; first < left.size(); first += kSegment) {
                const auto frames = static_cast<int32_t>(std::min<size_t>(kSegment, left.size() - first));
                auto block = testhost::makeArray2D(TW_TYPE_I16, 2, frames);
                for (int32_t i = 0; i < frames; ++i) {
                    testhost::set2D<int16_t>(block.get(), 0, i, left[first + i]);
                    testhost::set2D<int16_t>(block.get(), 1, i, static_cast<int16_t>(-left[first + i]));
                }
                results.push_back(library()->SOWrite(output_, block.get(), 10.0, TW_TYPE_I16));
            }
        });
        auto array = testhost::makeArray2D(TW_TYPE_I16, 2, 0);
        int32_t total = 0;
        EXPECT_EQ(library()->SIRead(input_, array.get(), captureFrames, &total, 15.0, TW_TYPE_I16), 0);
        writer.join();
        if (writeResults) *writeResults = results;
        std::vector<int16_t> captured;
        const int32_t n = testhost::cols(array.get());
        EXPECT_EQ(n, captureFrames);
        captured.reserve(static_cast<size_t>(n) * 2);
        for (int32_t i = 0; i < n; ++i) {
            captured.push_back(testhost::get2D<int16_t>(array.get(), 0, i));
            captured.push_back(testhost::get2D<int16_t>(array.get(), 1, i));
        }
        return captured;
    }

    Devices devices_;
    TaskRefnum output_ = -1;
    TaskRefnum input_ = -1;
};

std::vector<int16_t> toneSequence(double amplitude) {
    std::vector<int16_t> out;
    for (double f : kTones)
        for (int32_t i = 0; i < kSegment; ++i)
            out.push_back(static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * f * i / kRate))));
    out.resize(out.size() + kSilenceSegments * kSegment, 0);
    return out;
}

size_t firstSound(const std::vector<double>& x, double threshold) {
    size_t i = 0;
    while (i < x.size() && std::fabs(x[i]) <= threshold) ++i;
    return i;
}

size_t lastSound(const std::vector<double>& x, double threshold) {
    size_t i = x.size();
    while (i > 0 && std::fabs(x[i - 1]) <= threshold) --i;
    return i;
}

// What one run of the stream came back as.
struct Comparison {
    bool arrived = false;
    bool zerosBefore = true;   // nothing but zeros before the stream
    long lengthError = 0;      // captured minus played length of the sound
    int mismatches = 0;        // frames that differ from what was played
    std::vector<double> toneShares;
};

Comparison compare(const std::vector<int16_t>& played, const std::vector<int16_t>& captured) {
    Comparison c;
    const auto mono = channel(played, 1, 0);
    const auto left = channel(captured, 2, 0);
    const auto right = channel(captured, 2, 1);
    const int32_t toneFrames = static_cast<int32_t>(std::size(kTones)) * kSegment;
    // The tones start at zero: the first sound is one frame in.
    const size_t start = firstSound(left, 0) - firstSound(mono, 0);
    if (start + toneFrames >= left.size()) return c;
    c.arrived = true;
    for (size_t i = 0; i < start; ++i) c.zerosBefore = c.zerosBefore && left[i] == 0 && right[i] == 0;
    c.lengthError = static_cast<long>(lastSound(left, 0) - start) - static_cast<long>(lastSound(mono, 0));
    for (int32_t i = 0; i < toneFrames; ++i)
        if (left[start + i] != mono[i] || right[start + i] != -mono[i]) ++c.mismatches;
    for (size_t t = 0; t < std::size(kTones); ++t) {
        std::vector<double> segment(left.begin() + static_cast<long>(start + t * kSegment),
                                    left.begin() + static_cast<long>(start + (t + 1) * kSegment));
        c.toneShares.push_back(toneShare(segment, kTones[t], static_cast<uint32_t>(kRate)));
    }
    return c;
}

TEST_F(Loopback, ContinuousStreamComesBackWholeAndInOrder) {
    configure();
    const auto played = toneSequence(12000);
    const int32_t toneFrames = static_cast<int32_t>(std::size(kTones)) * kSegment;
    Comparison c;
    // A real-time stream on a busy two-core machine can be starved by the
    // scheduler now and then (the server fills the gap with silence): such
    // a run is tried again, up to three times in all.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) {
            TearDown();
            output_ = input_ = -1;
            configure();
        }
        // Room for start-up latency on both sides and the silence after the tones.
        c = compare(played, playAndCapture(played, toneFrames + 3 * static_cast<int32_t>(kRate / 2)));
        if (c.arrived && c.lengthError == 0 && c.mismatches == 0) break;
    }
    ASSERT_TRUE(c.arrived) << "the stream did not come back in time";
    EXPECT_TRUE(c.zerosBefore) << "capture before the stream must be silence, never garbage";
    // Sample for sample (the server passes 44.1 kHz 16-bit stereo through
    // unchanged), and just as long.
    EXPECT_EQ(c.lengthError, 0) << "captured length differs from what was played";
    EXPECT_EQ(c.mismatches, 0);
    for (size_t t = 0; t < std::size(kTones); ++t) EXPECT_GT(c.toneShares[t], 0.99) << kTones[t];
}

TEST_F(Loopback, VolumeLowersTheCapturedLevelByItsAttenuation) {
    configure();
    auto volumes = testhost::makeInt32Array({50});
    ASSERT_EQ(library()->SOVolume(output_, volumes.get()), 0);
    const auto played = toneSequence(20000);
    const auto captured = playAndCapture(played, static_cast<int32_t>(kRate * 2.5));
    auto left = channel(captured, 2, 0);
    const size_t start = firstSound(left, 0) - firstSound(channel(played, 1, 0), 0);
    ASSERT_LT(start + 2 * kSegment, left.size());
    // Volume 50 is -24.02 dB.
    const double gain = std::pow(10.0, -2402 / 2000.0);
    for (size_t t = 0; t < 2; ++t) {
        std::vector<double> segment(left.begin() + static_cast<long>(start + t * kSegment),
                                    left.begin() + static_cast<long>(start + (t + 1) * kSegment));
        EXPECT_NEAR(rms(segment) / (20000 / std::sqrt(2.0)), gain, gain * 0.02) << kTones[t];
        EXPECT_GT(toneShare(segment, kTones[t], static_cast<uint32_t>(kRate)), 0.99);
    }
}

}  // namespace
}  // namespace alsatest
