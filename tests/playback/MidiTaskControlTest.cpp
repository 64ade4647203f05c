// The output-task exports on a MIDI task: stop, pause and start from the
// start point, the volume curve, and the waits.
#include <chrono>
#include <cmath>
#include <thread>

#include "Harness.h"
#include "TestFiles.h"
#include "host/TestHost.h"

namespace playtest {
namespace {

// Eight eighth notes: two seconds of music.
std::string twoSeconds() {
    return writeFile("control/eight.mid", notes(8, 240));
}

std::vector<int16_t> head(std::vector<int16_t> samples, size_t frames) {
    samples.resize(std::min(samples.size(), frames * 2));
    return samples;
}

// Waits until the buffer's play cursor has passed `frames` stereo frames.
void playedAtLeast(uint32_t tap, uint64_t frames) {
    auto until = Clock::now() + std::chrono::seconds(10);
    tws_virtual_tap info{};
    while (Clock::now() < until) {
        if (testhost::virtualDriver().tws_virtual_tap_info(tap, &info) == 0 && info.total >= frames * 4)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "tap " << tap << " played only " << info.total << " bytes";
}

// Root-mean-square difference relative to the first signal. Plays of the
// same music differ only in the reverb's slow modulation.
double relativeDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    if (a.size() != b.size()) return 1e9;
    double diff = 0, level = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        diff += (a[i] - b[i]) * double(a[i] - b[i]);
        level += a[i] * double(a[i]);
    }
    return level > 0 ? std::sqrt(diff / level) : 1e9;
}

TEST_F(MidiPlaybackTest, StopPauseAndStartPlayFromTheStartPoint) {
    uint32_t tap = driver().tws_virtual_output_count();
    TaskRefnum refnum = -1;
    ASSERT_EQ(playFile(twoSeconds(), &refnum), 0);
    playedAtLeast(tap, 13230);
    EXPECT_EQ(api().SOStop(refnum), 0);
    EXPECT_FALSE(running(refnum));
    EXPECT_EQ(stateDesc(refnum), "IsPlaying= F");
    EXPECT_EQ(api().SOStop(refnum), 0) << "stopping a stopped task";
    EXPECT_EQ(api().SOPause(refnum), 0) << "pausing a stopped task";

    EXPECT_EQ(api().SOStart(refnum), 0);
    EXPECT_TRUE(running(refnum));
    playedAtLeast(tap + 1, 13230);
    EXPECT_EQ(api().SOPause(refnum), 0);
    EXPECT_FALSE(running(refnum));
    EXPECT_EQ(api().SOStart(refnum), 0);
    EXPECT_TRUE(running(refnum));
    EXPECT_EQ(api().SOWait(refnum, -1), 0);
    EXPECT_EQ(api().SOClear(refnum), 0);

    // Each start is a play of its own, from the beginning: the same sound.
    ASSERT_EQ(driver().tws_virtual_output_count(), tap + 3);
    std::vector<int16_t> first = head(tapSamples(tap), 11025);
    ASSERT_EQ(first.size(), 22050u);
    EXPECT_GT(peak(first), 500);
    EXPECT_LT(relativeDifference(first, head(tapSamples(tap + 1), 11025)), 0.05);
    EXPECT_LT(relativeDifference(first, head(tapSamples(tap + 2), 11025)), 0.05);
    // Not so if the second play had gone on from where the first stopped.
    std::vector<int16_t> later = tapSamples(tap + 2);
    later.erase(later.begin(), later.begin() + 2 * 13230);
    EXPECT_GT(relativeDifference(first, head(later, 11025)), 0.5);
    // Stopped and paused plays end where they were stopped.
    EXPECT_LT(tapSamples(tap).size() / 2, 44100u);
    EXPECT_GT(tapSamples(tap + 2).size() / 2, 88200u);
}

TEST_F(MidiPlaybackTest, VolumeFollowsTheCurveAndQuietensWhatIsHeard) {
    TaskRefnum refnum = -1;
    uint32_t tap = driver().tws_virtual_output_count();
    ASSERT_EQ(playFile(writeFile("control/one.mid", notes(2, 240)), &refnum), 0);
    EXPECT_EQ(masterVolume(), 0);
    EXPECT_EQ(api().SOWait(refnum, -1), 0);

    EXPECT_EQ(setVolume(refnum, 50), 0);
    EXPECT_EQ(masterVolume(), -2402);
    EXPECT_EQ(volumes(refnum), (std::vector<int32_t>{50, 50, 0, 0}));
    EXPECT_EQ(api().SOStart(refnum), 0);
    EXPECT_EQ(api().SOWait(refnum, -1), 0);

    int loud = peak(tapSamples(tap));
    int quiet = peak(tapSamples(tap + 1));
    ASSERT_GT(loud, 500);
    // -24.02 dB is a factor of 0.063.
    EXPECT_NEAR(static_cast<double>(quiet) / loud, 0.063, 0.01);

    EXPECT_EQ(setVolume(refnum, 150), 0);
    EXPECT_EQ(masterVolume(), 0);
    EXPECT_EQ(volumes(refnum), (std::vector<int32_t>{100, 100, 0, 0}));
    EXPECT_EQ(setVolume(refnum, -5), 0);
    EXPECT_EQ(masterVolume(), -10000);
    EXPECT_EQ(setVolume(refnum, 1), 0);
    EXPECT_EQ(masterVolume(), -9747);
    EXPECT_EQ(api().SOClear(refnum), 0);
}

TEST_F(MidiPlaybackTest, WaitsAnswerByTheirTimeOut) {
    TaskRefnum refnum = -1;
    ASSERT_EQ(playFile(twoSeconds(), &refnum), 0);
    EXPECT_EQ(api().SOWait(refnum, 0.0), 0);
    EXPECT_EQ(api().SOWait(refnum, 0.0005), 4822) << "under a millisecond is no time at all";
    auto t = Clock::now();
    EXPECT_EQ(api().SOWait(refnum, 0.1), 4822);
    EXPECT_GE(secondsSince(t), 0.09);
    EXPECT_TRUE(running(refnum));
    EXPECT_EQ(api().SOStop(refnum), 0);
    // A stopped task answers at once; waits that missed the stop would take 60 s.
    t = Clock::now();
    EXPECT_EQ(api().SOWait(refnum, 30.0), 0);
    EXPECT_EQ(api().SOWait(refnum, -1), 0);
    EXPECT_LT(secondsSince(t), 15.0);
    EXPECT_EQ(api().SOClear(refnum), 0);
}

}  // namespace
}  // namespace playtest
