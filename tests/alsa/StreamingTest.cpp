// Sound and capture buffers of the ALSA driver, heard back through the
// sound server's monitor of its null sink.
#include <cmath>

#include "DriverFixture.h"

namespace alsatest {
namespace {

constexpr double kTone = 441.0;  // whole cycles in any ring of 100-frame multiples
// Measuring windows hold whole cycles of the tones (periods of 100 and 200 frames).
constexpr uint32_t kWindow = 8800;
constexpr uint32_t kHalfSecond = 22000;  // rings too hold whole cycles
// How far ahead of the wall clock the server may take or hand over sound:
// the null sink renders a block ahead, and the driver works in 10 ms periods.
constexpr double kServerLead = 0.02;

TEST_F(DriverTest, ContinuousPlaybackHasNoDropouts) {
    ASSERT_NE(monitor(kRate * 4), nullptr);
    tws_buffer* b = toneBuffer(kTone, kHalfSecond);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    sleepSeconds(2.5);
    auto left = channel(lastCaptured(kRate * 2), 2, 0);
    // A sine never steps further than its steepest slope, nor rests at zero.
    const double maxStep = 8000 * 2 * M_PI * kTone / kRate * 1.05 + 3;
    size_t start = 0;
    while (start < left.size() && left[start] == 0) ++start;
    ASSERT_LT(start, left.size() / 2) << "the tone took too long to arrive";
    int jumps = 0;
    for (size_t i = start + 1; i < left.size(); ++i)
        if (std::fabs(left[i] - left[i - 1]) > maxStep || (left[i] == 0 && left[i - 1] == 0)) ++jumps;
    EXPECT_EQ(jumps, 0);
}

TEST_F(DriverTest, NotificationsFollowWhatHasBeenPlayed) {
    const uint32_t quarter = kRate / 10;
    tws_buffer* b = toneBuffer(kTone, quarter * 4);
    ASSERT_NE(b, nullptr);
    Stamps stamps;
    tws_position_notify positions[4];
    for (uint32_t i = 0; i < 4; ++i) positions[i] = {(quarter * (i + 1) - 1) * 4, Stamps::callback, &stamps};
    ASSERT_EQ(b->vtbl->set_notification_positions(b, 4, positions), TWS_OK);
    stamps.start = nowNs();
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
    tws_buffer* b = toneBuffer(kTone, kRate * 3 / 10);
    ASSERT_NE(b, nullptr);
    Stamps stamps;
    tws_position_notify stop{TWS_BPN_OFFSETSTOP, Stamps::callback, &stamps};
    ASSERT_EQ(b->vtbl->set_notification_positions(b, 1, &stop), TWS_OK);
    stamps.start = nowNs();
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
    tws_buffer* b = toneBuffer(kTone, kRate);
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

TEST_F(DriverTest, PlayedToneComesBackAndVolumeScalesItInSoftware) {
    ASSERT_NE(monitor(), nullptr);
    tws_buffer* b = toneBuffer(kTone, kHalfSecond, 16000);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->vtbl->play(b, TWS_BPLAY_LOOPING), TWS_OK);
    sleepSeconds(0.5);
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

TEST_F(DriverTest, OtherFormatsAreConvertedOnTheWay) {
    ASSERT_NE(monitor(), nullptr);
    // Unsigned 8-bit mono at 22050 Hz: 100 frames hold a cycle of 220.5 Hz.
    const double tone = 220.5;
    std::vector<uint8_t> samples(11000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<uint8_t>(std::lround(128 + 60 * std::sin(2 * M_PI * tone * i / 22050)));
    auto format = makeFormat(1, 22050, 8);
    tws_buffer* b = output(format, samples.data(), static_cast<uint32_t>(samples.size()));
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
    auto format = makeFormat(2, kRate, 16);
    tws_capture_buffer_desc desc{};
    desc.dwSize = sizeof desc;
    desc.dwBufferBytes = kRate / 5 * 4;
    desc.lpwfxFormat = &format.Format;
    ASSERT_EQ(capture_->vtbl->create_buffer(capture_, &desc, &monitor_), TWS_OK);
    Stamps stamps;
    tws_position_notify positions[2] = {{desc.dwBufferBytes / 2 - 1, Stamps::callback, &stamps},
                                        {TWS_BPN_OFFSETSTOP, Stamps::callback, &stamps}};
    ASSERT_EQ(monitor_->vtbl->set_notification_positions(monitor_, 2, positions), TWS_OK);
    stamps.start = nowNs();
    ASSERT_EQ(monitor_->vtbl->start(monitor_, 0), TWS_OK);
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
}  // namespace alsatest
