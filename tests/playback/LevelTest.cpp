// How loud a General MIDI song plays at full volume: a band of five parts
// peaks near -6 dBFS, as other players render it, and a song too dense for
// that is held under full scale rather than clipped.
#include <cmath>

#include "Harness.h"
#include "TestFiles.h"

namespace playtest {
namespace {

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
