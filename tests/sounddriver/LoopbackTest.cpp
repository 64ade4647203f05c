// End to end through the library's exports on the real devices: an output
// task streams into the sound server's null sink while an input task
// captures its monitor.
#include <thread>

#include "DriverTestSupport.h"
#include "host/Library.h"
#include "host/TestHost.h"

namespace drivertest {
namespace {

using testhost::library;

constexpr double kRate = 44100;
constexpr int32_t kRing = 44100;      // frames of each task's ring: quarters of a segment
constexpr int32_t kSegment = 11025;   // a quarter of a second per tone
constexpr double kTones[] = {330.75, 551.25, 882.0, 1323.0, 1764.0, 2205.0};  // whole cycles per segment
constexpr int32_t kToneFrames = static_cast<int32_t>(std::size(kTones)) * kSegment;
constexpr int kSilenceSegments = 2;   // written after the tones

class Loopback : public ::testing::Test {
protected:
    // The index of the system's default device (the server) in each
    // direction; the capabilities behind it are the driver tests'
    // (EnumerationTest).
    void SetUp() override {
        REQUIRE_SOUND_SERVER();
        ASSERT_TRUE(library().loaded()) << library().error();
        for (uint8_t input : {uint8_t{0}, uint8_t{1}}) {
            int32_t count = 0;
            library()->SoundNumDevices(&input, &count);
            for (int32_t i = 0; i < count; ++i) {
                auto channels = testhost::makeInt32Array({}), bits = testhost::makeInt32Array({});
                auto name = testhost::makeString("");
                double lo = 0, hi = 0;
                library()->SoundDeviceInfo(i, &input, channels.get(), bits.get(), &lo, &hi, name.get());
                const std::string text = testhost::readString(name.get());
                EXPECT_EQ(text.find("(null)"), std::string::npos) << "a missing description printed as (null)";
                if (text.find(kDefaultDeviceName) != std::string::npos) (input ? inputDevice_ : outputDevice_) = i;
            }
        }
        ASSERT_GE(outputDevice_, 0);
        ASSERT_GE(inputDevice_, 0);
    }
    void TearDown() override {
        if (output_ >= 0) library()->SOClear(output_);
        if (input_ >= 0) library()->SIClear(input_);
        output_ = input_ = -1;
    }

    void configure() {
        double rate = kRate;
        int32_t channels = 2, bits = 16;
        ASSERT_EQ(library()->SIConfigure(inputDevice_, kRing, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &input_), 0);
        rate = kRate;
        ASSERT_EQ(library()->SOConfigure(outputDevice_, kRing, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &output_), 0);
        EXPECT_EQ(rate, kRate);
        EXPECT_EQ(channels, 2);
        EXPECT_EQ(bits, 16);
    }

    // Writes `tone` to the left channel and its negation to the right, in
    // blocks of a segment on a thread, while this one captures `frames`.
    testhost::ArrayPtr playAndCapture(const std::vector<int16_t>& tone, int32_t frames) {
        std::thread writer([&] {
            for (size_t first = 0; first < tone.size(); first += kSegment) {
                const auto n = static_cast<int32_t>(std::min<size_t>(kSegment, tone.size() - first));
                auto block = testhost::makeArray2D(TW_TYPE_I16, 2, n);
                for (int32_t i = 0; i < n; ++i) {
                    testhost::set2D<int16_t>(block.get(), 0, i, tone[first + i]);
                    testhost::set2D<int16_t>(block.get(), 1, i, static_cast<int16_t>(-tone[first + i]));
                }
                library()->SOWrite(output_, block.get(), 10.0, TW_TYPE_I16);
            }
        });
        auto array = testhost::makeArray2D(TW_TYPE_I16, 2, 0);
        int32_t total = 0;
        EXPECT_EQ(library()->SIRead(input_, array.get(), frames, &total, 15.0, TW_TYPE_I16), 0);
        writer.join();
        EXPECT_EQ(testhost::cols(array.get()), frames);
        return array;
    }

    int32_t outputDevice_ = -1, inputDevice_ = -1;
    TaskRefnum output_ = -1, input_ = -1;
};

// What one run of the stream came back as.
struct Comparison {
    bool arrived = false;
    bool zerosBefore = true;   // nothing but zeros before the stream
    long lengthError = 0;      // captured minus played length of the sound
    int mismatches = 0;        // frames that differ from what was played
};

Comparison compare(const std::vector<int16_t>& played, TwArrayHandle captured) {
    Comparison c;
    const int32_t n = testhost::cols(captured);
    auto left = [&](int32_t i) { return testhost::get2D<int16_t>(captured, 0, i); };
    auto right = [&](int32_t i) { return testhost::get2D<int16_t>(captured, 1, i); };
    // The tones start at zero: the first sound is one frame in.
    int32_t start = 0, end = n, playedEnd = static_cast<int32_t>(played.size());
    while (start < n && left(start) == 0) ++start;
    --start;
    while (end > 0 && left(end - 1) == 0) --end;
    while (playedEnd > 0 && played[playedEnd - 1] == 0) --playedEnd;
    if (start < 0 || start + kToneFrames >= n) return c;
    c.arrived = true;
    for (int32_t i = 0; i < start; ++i) c.zerosBefore = c.zerosBefore && left(i) == 0 && right(i) == 0;
    c.lengthError = static_cast<long>(end - start) - playedEnd;
    for (int32_t i = 0; i < kToneFrames; ++i)
        if (left(start + i) != played[i] || right(start + i) != -played[i]) ++c.mismatches;
    return c;
}

TEST_F(Loopback, ContinuousStreamComesBackWholeAndInOrder) {
    std::vector<int16_t> played;
    for (double f : kTones) {
        const auto tone = sine(f, static_cast<uint32_t>(kRate), kSegment, 1, 12000);
        played.insert(played.end(), tone.begin(), tone.end());
    }
    played.resize(played.size() + kSilenceSegments * kSegment, 0);
    Comparison c;
    // A real-time stream on a busy two-core machine can be starved by the
    // scheduler now and then (the server fills the gap with silence): such
    // a run is tried again, up to three times in all.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0) TearDown();
        configure();
        // Room for start-up latency on both sides and the silence after the tones.
        c = compare(played, playAndCapture(played, kToneFrames + 3 * static_cast<int32_t>(kRate / 2)).get());
        if (c.arrived && c.lengthError == 0 && c.mismatches == 0) break;
    }
    ASSERT_TRUE(c.arrived) << "the stream did not come back in time";
    EXPECT_TRUE(c.zerosBefore) << "capture before the stream must be silence, never garbage";
    // Sample for sample (the server passes 44.1 kHz 16-bit stereo through
    // unchanged), and just as long.
    EXPECT_EQ(c.lengthError, 0) << "captured length differs from what was played";
    EXPECT_EQ(c.mismatches, 0);
}

}  // namespace
}  // namespace drivertest
