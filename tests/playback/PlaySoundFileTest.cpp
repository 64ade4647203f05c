// PlaySoundFile end to end: what is heard on the virtual driver (and how
// loud), how the call answers for the files and arguments it is given, and
// what the paths mark.
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <optional>
#include <thread>

#include "Harness.h"
#include "TestFiles.h"
#include "host/TestHost.h"

namespace playtest {
namespace {

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
    for (size_t i = samples.size() / 2; i < heard.size(); ++i)
        ASSERT_EQ(heard[i], 0) << "silence after the end";
}

// Calls that make no task: what each answers, and the refnum it leaves (a
// call without a path writes none).
TEST_F(PlaybackTest, RefusedCallsMakeNoTask) {
    const std::string tone = writeFile("play/dev.wav", wav(8000, 1, 16, sine16(8000, 800, 300, 0.3)));
    const std::string noise = writeFile("bad/noise.mid", Bytes(300, 0x5A));
#ifndef _WIN32
    const std::string fifo = testhost::scratchDir() + "/bad/pipe.mid";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
#endif
    Bytes cut = notes(4, 240);
    cut.resize(cut.size() - 9);
    cut.back() = 0x80;  // a note-off whose data bytes are missing
    const struct {
        const char* name;
        std::optional<std::string> path;
        int32_t device, result, refnum;
    } cases[] = {
        {"no path", std::nullopt, 0, 4805, 77},
        {"no path, no device", std::nullopt, 99, 4805, 77},
        {"empty path", "", 0, 4805, 77},
        {"device 7", tone, 7, 4800, -1},
        {"device -1", tone, -1, 4800, -1},
        {"noise", noise, 0, 4810, -1},
        {"absent", testhost::scratchDir() + "/bad/absent.wav", 0, 4810, -1},
#ifndef _WIN32
        {"a pipe without writer must not block", fifo, 0, 4810, -1},
#endif
        {"a directory", testhost::scratchDir() + "/bad", 0, 4810, -1},
        {"cut short", writeFile("bad/cut.mid", cut), 0, 4810, -1},
        {"overlong", "/" + std::string(259, 'a'), 0, 4805, -1},
        {"longer than the host copy buffer", "/" + std::string(3000, 'b') + ".mid", 0, 4805, -1},
        // The whole text names the search directory, and a file is no directory.
        {"no slash", "song.wav", 0, 4805, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TaskRefnum refnum = 77;
        EXPECT_EQ(c.path ? playFile(*c.path, &refnum, c.device)
                         : api().PlaySoundFile(c.device, nullptr, 0, &refnum),
                  c.result);
        EXPECT_EQ(refnum, c.refnum);
    }
    EXPECT_EQ(liveCounts().segments, 0u);
}

// Which paths mark a segment as a Standard MIDI File, and the search
// directory each path sets.
TEST_F(PlaybackTest, PathsMarkStandardMidiFilesAndSetTheSearchDirectory) {
    const Bytes song = notes(1, 60);
    const Bytes tone = wav(8000, 1, 16, sine16(8000, 800, 500, 0.4));
    const struct {
        const char* path;
        Bytes file;
        int32_t kind, marked;
    } cases[] = {
        {"mark/a.mid", song, TWM_KIND_MIDI, 1},
        {"mark/b.rmi", rmid(song), TWM_KIND_MIDI, 1},
        // Loaded by content all the same, but not marked.
        {"mark/C.MID", song, TWM_KIND_MIDI, 0},
        {"mark/D.RMI", rmid(song), TWM_KIND_MIDI, 0},
        // Anywhere in the path, as a plain substring.
        {"mark/e.midi.song", song, TWM_KIND_MIDI, 1},
        {"tunes.mid/x.wav", tone, TWM_KIND_WAVE, 1},
        {"dirs/one/two/s.wav", tone, TWM_KIND_WAVE, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        if (c.kind == TWM_KIND_MIDI && !haveSoundFont()) continue;
        const std::string path = writeFile(c.path, c.file);
        TaskRefnum refnum = -1;
        ASSERT_EQ(playFile(path, &refnum), 0);
        const twm_segment_info info = lastSegment();
        EXPECT_EQ(api().SOClear(refnum), 0);
        EXPECT_EQ(info.kind, c.kind);
        EXPECT_EQ(info.standard_midi, c.marked);
        EXPECT_EQ(std::string(info.search_directory), path.substr(0, path.rfind('/')));
        EXPECT_EQ(std::string(info.path), path);
    }
}

// How loud a General MIDI song plays at full volume: a band of five parts
// peaks near -6 dBFS, as other players render it, and a song too dense for
// that is held under full scale rather than clipped.
struct Part {
    uint8_t channel, program;
    std::vector<uint8_t> keys;  // played together on every beat
    uint8_t velocity;
};

// A bar of quarter notes at 120 a minute, every part at channel volume 100.
Bytes song(const std::vector<Part>& parts) {
    std::vector<Track> tracks(1);
    tracks[0].tempo(0, 500000).end();
    for (const Part& p : parts) {
        Track t;
        const uint8_t ch = p.channel;
        t.event(0, {static_cast<uint8_t>(0xC0 | ch), p.program});
        t.event(0, {static_cast<uint8_t>(0xB0 | ch), 7, 100});
        for (int beat = 0; beat < 4; ++beat) {
            for (size_t k = 0; k < p.keys.size(); ++k)
                t.event(k == 0 && beat > 0 ? 20 : 0, {static_cast<uint8_t>(0x90 | ch), p.keys[k], p.velocity});
            for (size_t k = 0; k < p.keys.size(); ++k)
                t.event(k == 0 ? 460 : 0, {static_cast<uint8_t>(0x80 | ch), p.keys[k], 0});
        }
        tracks.push_back(t.end());
    }
    return smf(1, 480, tracks);
}

double peakDb(const std::vector<int16_t>& samples) { return 20 * std::log10(peak(samples) / 32768.0); }

TEST_F(MidiPlaybackTest, SongsPlayAtTheLevelOfOtherPlayersWithoutClipping) {
    const std::vector<Part> band = {
        {0, 0, {60, 64, 67}, 88},   // piano chords
        {1, 48, {48, 52, 55}, 70},  // strings
        {2, 33, {36}, 100},         // bass
        {3, 73, {76}, 95},          // flute
        {9, 0, {36, 42}, 100},      // kick and hi-hat
    };
    std::vector<Part> dense = band;
    for (uint8_t ch = 4; ch < 16; ++ch)
        if (ch != 9) dense.push_back({ch, 0, {60, 64, 67, 72}, 127});
    const struct {
        const char* name;
        Bytes file;
        double minDb, maxDb;
    } cases[] = {
        {"band", song(band), -9.0, -4.0},
        // The limiter holds it at -1 dBFS.
        {"dense", song(dense), -3.0, -0.9},
    };
    // Level does not depend on time: play them four times as fast.
    const double speed = driver().tws_virtual_get_speed();
    ASSERT_EQ(driver().tws_virtual_set_speed(4.0 * speed), 0);
    for (const auto& c : cases) {
        const std::string path = writeFile(std::string("level/") + c.name + ".mid", c.file);
        const uint32_t tap = driver().tws_virtual_output_count();
        TaskRefnum refnum = -1;
        ASSERT_EQ(playFile(path, &refnum), 0) << c.name;
        EXPECT_EQ(api().SOWait(refnum, 20.0), 0) << c.name;
        EXPECT_EQ(api().SOClear(refnum), 0);
        const std::vector<int16_t> heard = tapSamples(tap);
        ASSERT_FALSE(heard.empty()) << c.name;
        EXPECT_GE(peakDb(heard), c.minDb) << c.name;
        EXPECT_LE(peakDb(heard), c.maxDb) << c.name;
    }
    driver().tws_virtual_set_speed(speed);
}

}  // namespace
}  // namespace playtest
