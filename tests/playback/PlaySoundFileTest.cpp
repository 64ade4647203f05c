// PlaySoundFile end to end: what is heard on the virtual driver, and how the
// call answers for the files and arguments it is given.
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "Harness.h"
#include "TestFiles.h"
#include "host/TestHost.h"

namespace playtest {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

TEST_F(MidiPlaybackTest, MidiFilePlaysItsNotesAndEnds) {
    // Four eighth notes at 120 a minute: one second of music.
    std::string path = writeFile("play/four.mid", notes(4, 240));
    uint32_t tap = driver().tws_virtual_output_count();
    TaskRefnum refnum = -7;
    auto started = Clock::now();
    ASSERT_EQ(playFile(path, &refnum), 0);
    ASSERT_GE(refnum, 0);
    EXPECT_EQ(stateDesc(refnum), "IsPlaying= T");

    uint8_t input = 0, run = 0, continuous = 1;
    EXPECT_EQ(api().GetConfState(refnum, &input, &run, &continuous), 0);
    EXPECT_EQ(run, 1);
    EXPECT_EQ(continuous, 0);
    double rate = 0;
    int32_t channels = 0, bits = 0;
    uint16_t type = 0;
    EXPECT_EQ(api().GetConfFormat(refnum, &input, &rate, &channels, &bits, &type), 0);
    EXPECT_EQ(rate, 44100.0);
    EXPECT_EQ(channels, 2);
    EXPECT_EQ(bits, 16);
    EXPECT_EQ(type, 2);

    EXPECT_EQ(api().SOWait(refnum, -1), 0);
    double waited = secondsSince(started);
    EXPECT_GE(waited, 0.95);
    EXPECT_LT(waited, 6.0);
    EXPECT_EQ(stateDesc(refnum), "IsPlaying= F");
    EXPECT_EQ(api().SOClear(refnum), 0);

    std::vector<int16_t> heard = tapSamples(tap);
    Span span = loudSpan(heard, 2, 100);
    ASSERT_GE(span.first, 0) << "nothing audible was played";
    EXPECT_LT(span.first, 44100 / 20);
    // The last note sounds until one second, then only its release follows.
    EXPECT_GT(span.last, 44100 * 95 / 100);
    EXPECT_LT(span.last, 44100 * 4);
    EXPECT_GT(peak(heard), 1000);
}

TEST_F(PlaybackTest, WaveFilePlaysItsSamplesUnchanged) {
    Bytes samples = sine16(22050, 22050 / 4, 440, 0.5);
    std::string path = writeFile("play/tone.wav", wav(22050, 1, 16, samples));
    uint32_t tap = driver().tws_virtual_output_count();
    TaskRefnum refnum = -1;
    ASSERT_EQ(playFile(path, &refnum), 0);
    ASSERT_GE(refnum, 0);
    twm_segment_info info = lastSegment();
    EXPECT_EQ(info.kind, TWM_KIND_WAVE);
    EXPECT_EQ(info.standard_midi, 0);
    EXPECT_EQ(api().SOWait(refnum, 5.0), 0);
    EXPECT_FALSE(running(refnum));
    EXPECT_EQ(api().SOClear(refnum), 0);

    tws_virtual_tap tapInfo{};
    ASSERT_EQ(driver().tws_virtual_tap_info(tap, &tapInfo), 0);
    EXPECT_EQ(tapInfo.format.Format.nSamplesPerSec, 22050u);
    EXPECT_EQ(tapInfo.format.Format.nChannels, 1);
    EXPECT_EQ(tapInfo.format.Format.wBitsPerSample, 16);
    std::vector<int16_t> heard = tapSamples(tap);
    ASSERT_GE(heard.size() * 2, samples.size());
    EXPECT_EQ(std::memcmp(heard.data(), samples.data(), samples.size()), 0) << "the file's samples, in order";
    for (size_t i = samples.size() / 2; i < heard.size(); ++i) ASSERT_EQ(heard[i], 0) << "silence after the end";
}

TEST_F(PlaybackTest, MissingOrEmptyPathIsRefusedBeforeAnythingElse) {
    TaskRefnum refnum = 77;
    auto empty = testhost::makeString("");
    EXPECT_EQ(api().PlaySoundFile(0, empty.get(), 0, &refnum), 4805);
    EXPECT_EQ(api().PlaySoundFile(0, nullptr, 0, &refnum), 4805);
    EXPECT_EQ(api().PlaySoundFile(99, nullptr, 0, &refnum), 4805);
    EXPECT_EQ(refnum, 77);
}

TEST_F(PlaybackTest, UnknownDeviceWritesNoTask) {
    std::string path = writeFile("play/dev.wav", wav(8000, 1, 16, sine16(8000, 800, 300, 0.3)));
    TaskRefnum refnum = 5;
    EXPECT_EQ(playFile(path, &refnum, 7), 4800);
    EXPECT_EQ(refnum, -1);
    EXPECT_EQ(playFile(path, &refnum, -1), 4800);
    EXPECT_EQ(refnum, -1);
}

TEST_F(PlaybackTest, UnloadableFilesGive4810) {
    TaskRefnum refnum = 5;
    EXPECT_EQ(playFile(writeFile("bad/noise.mid", Bytes(300, 0x5A)), &refnum), 4810);
    EXPECT_EQ(refnum, -1);
    EXPECT_EQ(playFile(testhost::scratchDir() + "/bad/absent.wav", &refnum), 4810);
    EXPECT_EQ(refnum, -1);
    std::string fifo = testhost::scratchDir() + "/bad/pipe.mid";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(playFile(fifo, &refnum), 4810) << "a pipe without writer must not block";
    EXPECT_EQ(playFile(testhost::scratchDir() + "/bad", &refnum), 4810) << "a directory";
    Bytes cut = notes(4, 240);
    cut.resize(cut.size() - 9);
    cut[cut.size() - 1] = 0x80;  // a note-off whose data bytes are missing
    EXPECT_EQ(playFile(writeFile("bad/cut.mid", cut), &refnum), 4810);
    EXPECT_EQ(refnum, -1);
    twm_control_counts counts{};
    music().twm_control_live_counts(&counts);
    EXPECT_EQ(counts.segments, 0u);
}

TEST_F(PlaybackTest, OverlongPathGives4805) {
    std::string path = "/" + std::string(259, 'a');
    TaskRefnum refnum = 5;
    EXPECT_EQ(playFile(path, &refnum), 4805);
    EXPECT_EQ(refnum, -1);
    // Longer than the host copy buffer too.
    EXPECT_EQ(playFile("/" + std::string(3000, 'b') + ".mid", &refnum), 4805);
    EXPECT_EQ(refnum, -1);
}

TEST_F(PlaybackTest, WriteTakesNoSampleData) {
    std::string path = writeFile("play/w.wav", wav(8000, 1, 16, sine16(8000, 8000, 300, 0.3)));
    TaskRefnum refnum = -1;
    ASSERT_EQ(playFile(path, &refnum), 0);
    auto data = testhost::makeArray2D(2, 2, 16);
    EXPECT_EQ(api().SOWrite(refnum, data.get(), 1.0, 2), 1);
    EXPECT_EQ(api().SOClear(refnum), 0);
    EXPECT_EQ(api().SOClear(refnum), 4801);
}

}  // namespace
}  // namespace playtest
