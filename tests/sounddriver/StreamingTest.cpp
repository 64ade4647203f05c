// Sound and capture buffers of the system's driver, heard back through the
// sound server's monitor of its null sink.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>
#include <thread>

#include "DriverTestSupport.h"

namespace drivertest {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kRate = 44100;
constexpr double kTone = 441.0;  // whole cycles in any ring of 100-frame multiples
// Measuring windows hold whole cycles of the tones (periods of 100 and 200 frames).
constexpr uint32_t kWindow = 8800;
constexpr uint32_t kHalfSecond = 22000;  // rings too hold whole cycles

// Times (seconds after `start`) at which notifications arrived.
struct Stamps {
    std::mutex mutex;
    Clock::time_point start = Clock::now();
    std::vector<double> seconds;
    static void callback(void* self) {
        auto* s = static_cast<Stamps*>(self);
        std::lock_guard lock(s->mutex);
        s->seconds.push_back(std::chrono::duration<double>(Clock::now() - s->start).count());
    }
    std::vector<double> copy() {
        std::lock_guard lock(mutex);
        return seconds;
    }
};

void sleepSeconds(double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); }

// The default devices, buffers filled with a tone, and the audio that came
// back through the monitor.
class DriverTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_SOUND_SERVER();
        ASSERT_EQ(module().soundCreate(nullptr, &sound_), TWS_OK);
        ASSERT_EQ(module().captureCreate(nullptr, &capture_), TWS_OK);
    }
    void TearDown() override {
        for (auto* b : buffers_) b->vtbl->release(b);
        if (monitor_) monitor_->vtbl->release(monitor_);
        if (sound_) sound_->vtbl->release(sound_);
        if (capture_) capture_->vtbl->release(capture_);
    }

    // A buffer on the default output holding `data`.
    tws_buffer* output(const tws_wave_format_extensible& format, const void* data, uint32_t bytes) {
        const tws_buffer_desc desc{sizeof desc,
                                   TWS_BCAPS_CTRLVOLUME | TWS_BCAPS_CTRLPOSITIONNOTIFY |
                                       TWS_BCAPS_GETCURRENTPOSITION2 | TWS_BCAPS_GLOBALFOCUS,
                                   bytes, 0, &format.Format, {}};
        tws_buffer* b = nullptr;
        EXPECT_EQ(sound_->vtbl->create_buffer(sound_, &desc, &b), TWS_OK);
        if (b == nullptr) return nullptr;
        buffers_.push_back(b);
        void* p = nullptr;
        uint32_t n = 0;
        EXPECT_EQ(b->vtbl->lock(b, 0, bytes, &p, &n, nullptr, nullptr, 0), TWS_OK);
        std::memcpy(p, data, n);
        EXPECT_EQ(b->vtbl->unlock(b, p, n, nullptr, 0), TWS_OK);
        return b;
    }
    tws_buffer* toneBuffer(uint32_t frames, double amplitude = 8000) {
        auto samples = sine(kTone, kRate, frames, 2, amplitude);
        return output(makeFormat(2, kRate, 16), samples.data(), static_cast<uint32_t>(samples.size() * 2));
    }
    // A capture of the default capture device (the sink's monitor), started
    // once its notifications are set (and `stamps` starts counting).
    tws_capture_buffer* monitor(uint32_t frames = kRate * 2, uint32_t flags = TWS_CBSTART_LOOPING,
                                std::vector<tws_position_notify> positions = {}, Stamps* stamps = nullptr) {
        const auto format = makeFormat(2, kRate, 16);
        const tws_capture_buffer_desc desc{sizeof desc, 0, frames * 4, 0, &format.Format, 0, nullptr};
        EXPECT_EQ(capture_->vtbl->create_buffer(capture_, &desc, &monitor_), TWS_OK);
        if (monitor_ == nullptr) return nullptr;
        monitorBytes_ = frames * 4;
        EXPECT_EQ(monitor_->vtbl->set_notification_positions(monitor_, static_cast<uint32_t>(positions.size()),
                                                             positions.data()),
                  TWS_OK);
        if (stamps) stamps->start = Clock::now();
        EXPECT_EQ(monitor_->vtbl->start(monitor_, flags), TWS_OK);
        return monitor_;
    }
    uint32_t readCursor() {
        uint32_t capture = 0, read = 0;
        EXPECT_EQ(monitor_->vtbl->get_current_position(monitor_, &capture, &read), TWS_OK);
        return read;
    }
    // The stereo 16-bit frames captured between two read cursor offsets.
    std::vector<int16_t> capturedBetween(uint32_t fromByte, uint32_t toByte) {
        const uint32_t bytes = (toByte + monitorBytes_ - fromByte) % monitorBytes_;
        std::vector<int16_t> out(bytes / 2);
        if (bytes == 0) return out;
        void *p1 = nullptr, *p2 = nullptr;
        uint32_t n1 = 0, n2 = 0;
        EXPECT_EQ(monitor_->vtbl->lock(monitor_, fromByte, bytes, &p1, &n1, &p2, &n2, 0), TWS_OK);
        std::memcpy(out.data(), p1, n1);
        if (p2) std::memcpy(reinterpret_cast<uint8_t*>(out.data()) + n1, p2, n2);
        monitor_->vtbl->unlock(monitor_, p1, n1, p2, n2);
        return out;
    }
    // The last `frames` frames before the monitor's read cursor.
    std::vector<int16_t> lastCaptured(uint32_t frames) {
        const uint32_t to = readCursor();
        const uint32_t bytes = std::min(frames * 4, monitorBytes_ - 4);
        return capturedBetween((to + monitorBytes_ - bytes) % monitorBytes_, to);
    }

    tws_sound* sound_ = nullptr;
    tws_capture* capture_ = nullptr;
    tws_capture_buffer* monitor_ = nullptr;
    uint32_t monitorBytes_ = 0;
    std::vector<tws_buffer*> buffers_;
};

TEST_F(DriverTest, PlayedToneComesBackWithoutDropoutsAndVolumeScalesItInSoftware) {
    ASSERT_NE(monitor(kRate * 4), nullptr);
    tws_buffer* b = toneBuffer(kHalfSecond, 16000);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    // A real-time stream on a busy two-core machine can be starved by the
    // scheduler now and then (the server fills the gap with silence): such a
    // look at the last two seconds is taken again, up to three in all.
    int jumps = 0;
    for (int look = 0; look < 3; ++look) {
        sleepSeconds(look == 0 ? 2.5 : 2.0);
        auto left = channel(lastCaptured(kRate * 2), 2, 0);
        // A sine never steps further than its steepest slope, nor rests at zero.
        const double maxStep = 16000 * 2 * std::numbers::pi * kTone / kRate * 1.05 + 3;
        size_t start = 0;
        while (start < left.size() && left[start] == 0) ++start;
        ASSERT_LT(start, left.size() / 2) << "the tone took too long to arrive";
        jumps = 0;
        for (size_t i = start + 1; i < left.size(); ++i)
            if (std::fabs(left[i] - left[i - 1]) > maxStep || (left[i] == 0 && left[i - 1] == 0)) ++jumps;
        if (jumps == 0) break;
    }
    EXPECT_EQ(jumps, 0);

    const auto played = lastCaptured(kWindow);
    EXPECT_GT(toneShare(channel(played, 2, 0), kTone, kRate), 0.95) << "the tone came back";
    const double full = rms(channel(played, 2, 1));
    uint32_t status = 0;
    ASSERT_EQ(b->vtbl->get_status(b, &status), TWS_OK);
    EXPECT_EQ(status, TWS_BSTATUS_PLAYING | TWS_BSTATUS_LOOPING);
    ASSERT_EQ(b->vtbl->set_volume(b, -600), TWS_OK);
    sleepSeconds(0.5);
    const double quieter = rms(channel(lastCaptured(kWindow), 2, 1));
    EXPECT_NEAR(full, 16000 / std::sqrt(2.0), 250);
    EXPECT_NEAR(quieter / full, std::pow(10.0, -600 / 2000.0), 0.01);
}

TEST_F(DriverTest, NotificationsFollowWhatHasBeenPlayed) {
    const uint32_t quarter = kRate / 10;
    tws_buffer* b = toneBuffer(quarter * 4);
    ASSERT_NE(b, nullptr);
    Stamps stamps;
    tws_position_notify positions[4];
    for (uint32_t i = 0; i < 4; ++i) positions[i] = {(quarter * (i + 1) - 1) * 4, Stamps::callback, &stamps};
    ASSERT_EQ(b->vtbl->set_notification_positions(b, 4, positions), TWS_OK);
    stamps.start = Clock::now();
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    sleepSeconds(1.05);
    auto times = stamps.copy();
    ASSERT_GE(times.size(), 9u);
    // Never before the sound could have been played...
    for (size_t i = 0; i < times.size(); ++i) EXPECT_GE(times[i], 0.1 * (i + 1) - kServerLead) << i;
    // ...and then a quarter apart, within about a period or two.
    for (size_t i = 1; i < times.size(); ++i) EXPECT_NEAR(times[i] - times[i - 1], 0.1, 0.035) << i;
    EXPECT_LT(times[0], 0.1 + 0.2) << "device latency too high";
}

TEST_F(DriverTest, OneShotBufferStopsAtItsEnd) {
    tws_buffer* b = toneBuffer(kRate * 3 / 10);
    ASSERT_NE(b, nullptr);
    Stamps stamps;
    tws_position_notify stop{TWS_BPN_OFFSETSTOP, Stamps::callback, &stamps};
    ASSERT_EQ(b->vtbl->set_notification_positions(b, 1, &stop), TWS_OK);
    stamps.start = Clock::now();
    ASSERT_EQ(b->vtbl->play(b, 0), TWS_OK);
    sleepSeconds(0.7);
    auto times = stamps.copy();
    ASSERT_EQ(times.size(), 1u);
    EXPECT_GE(times[0], 0.3 - kServerLead);
    EXPECT_LT(times[0], 0.3 + 0.25);
    uint32_t status = 1, play = 1;
    EXPECT_EQ(b->vtbl->get_status(b, &status), TWS_OK);
    EXPECT_EQ(status, 0u);
    EXPECT_EQ(b->vtbl->get_current_position(b, &play, nullptr), TWS_OK);
    EXPECT_EQ(play, 0u);
}

TEST_F(DriverTest, StopDropsWhatIsQueuedAndKeepsTheCursor) {
    ASSERT_NE(monitor(), nullptr);
    tws_buffer* b = toneBuffer(kRate);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    sleepSeconds(0.4);
    ASSERT_EQ(b->vtbl->stop(b), TWS_OK);
    uint32_t stopped = 0, later = 1;
    b->vtbl->get_current_position(b, &stopped, nullptr);
    EXPECT_GT(stopped, 0u);
    sleepSeconds(0.15);
    const uint32_t from = readCursor();
    sleepSeconds(0.25);
    b->vtbl->get_current_position(b, &later, nullptr);
    EXPECT_EQ(later, stopped);
    auto after = channel(capturedBetween(from, readCursor()), 2, 0);
    ASSERT_GT(after.size(), kRate / 10);
    EXPECT_LT(rms(after), 20.0) << "sound went on after stop";

    // Played again, it goes on from where it stopped.
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    sleepSeconds(0.3);
    b->vtbl->get_current_position(b, &later, nullptr);
    EXPECT_GT(later, stopped);
    auto again = channel(lastCaptured(kWindow / 2), 2, 0);
    EXPECT_GT(toneShare(again, kTone, kRate), 0.9);
}

TEST_F(DriverTest, OtherFormatsAreConvertedOnTheWay) {
    ASSERT_NE(monitor(), nullptr);
    // Unsigned 8-bit mono at 22050 Hz: 100 frames hold a cycle of 220.5 Hz.
    const double tone = 220.5;
    std::vector<uint8_t> samples(11000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<uint8_t>(std::lround(128 + 60 * std::sin(2 * std::numbers::pi * tone * i / 22050)));
    tws_buffer* b = output(makeFormat(1, 22050, 8), samples.data(), static_cast<uint32_t>(samples.size()));
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    sleepSeconds(0.6);
    const auto captured = lastCaptured(kWindow);
    auto left = channel(captured, 2, 0);
    auto right = channel(captured, 2, 1);
    EXPECT_GT(toneShare(left, tone, kRate), 0.9);
    EXPECT_GT(toneShare(right, tone, kRate), 0.9) << "mono goes to both sides";
    EXPECT_NEAR(rms(left), 60 * 256 / std::sqrt(2.0), 600);
}

TEST_F(DriverTest, OneShotCaptureFillsOnceAndStops) {
    const uint32_t bytes = kRate / 5 * 4;
    Stamps stamps;
    ASSERT_NE(monitor(kRate / 5, 0,
                      {{bytes / 2 - 1, Stamps::callback, &stamps}, {TWS_BPN_OFFSETSTOP, Stamps::callback, &stamps}},
                      &stamps),
              nullptr);
    sleepSeconds(0.6);
    auto times = stamps.copy();
    ASSERT_EQ(times.size(), 2u);
    EXPECT_GE(times[0], 0.1 - kServerLead);
    EXPECT_GE(times[1], 0.2 - kServerLead);
    EXPECT_LT(times[1], 0.2 + 0.2);
    uint32_t status = 1;
    EXPECT_EQ(monitor_->vtbl->get_status(monitor_, &status), TWS_OK);
    EXPECT_EQ(status, 0u);
}

}  // namespace
}  // namespace drivertest
