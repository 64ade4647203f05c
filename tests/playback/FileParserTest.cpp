// The music engine's file readers, linked directly: MIDI timing, RIFF MIDI,
// WAV formats, and corrupt input refused without reading past the end.
#include <gtest/gtest.h>

#include <random>

#include "TestFiles.h"
#include "content/Content.h"
#include "content/MidiFileParser.h"
#include "content/WaveFileParser.h"
#include "tonewell_music_control.h"

namespace playtest {
namespace {

using twm::MidiFileParser;
using twm::Song;
using twm::WaveFileParser;

Song parsed(const Bytes& b) {
    Song s;
    EXPECT_TRUE(MidiFileParser::parse(b.data(), b.size(), s));
    return s;
}

TEST(MidiFileParser, TempoChangesInAnyTrackTimeTheEvents) {
    // Division 96. Track 0: tempo 120, and 240 from the second quarter on.
    Track conductor;
    conductor.tempo(0, 500000).tempo(96, 250000).end();
    Track notesTrack;
    notesTrack.event(0, {0x90, 60, 100}).event(96, {0x80, 60, 0}).event(96, {0x90, 62, 100}).end(96);
    Song s = parsed(smf(1, 96, {conductor, notesTrack}));
    ASSERT_EQ(s.events.size(), 3u);
    EXPECT_EQ(s.events[0].frame, 0);
    EXPECT_EQ(s.events[1].tick, 768);
    EXPECT_EQ(s.events[1].frame, 22050);  // one quarter at 120
    EXPECT_EQ(s.events[2].tick, 1536);
    EXPECT_EQ(s.events[2].frame, 33075);  // plus one quarter at 240
    EXPECT_EQ(s.lengthTicks, 2304);
    EXPECT_EQ(s.lengthFrames(), 44100);
    EXPECT_EQ(s.firstEventAt(769), 2u);
}

TEST(MidiFileParser, RunningStatusAndMergedTracksKeepTheirOrder) {
    Track a;
    a.event(0, {0x90, 60, 100}).event(10, {62, 90}).event(0, {0xC1, 5}).event(5, {7}).end();
    Track b;
    b.event(10, {0xB2, 7, 100}).end();
    Song s = parsed(smf(1, 480, {a, b}));
    ASSERT_EQ(s.events.size(), 5u);
    EXPECT_EQ(s.events[1].status, 0x90);
    EXPECT_EQ(s.events[1].data1, 62);
    EXPECT_EQ(s.events[2].status, 0xC1) << "same tick: track order";
    EXPECT_EQ(s.events[3].status, 0xB2);
    EXPECT_EQ(s.events[4].status, 0xC1);
    EXPECT_EQ(s.events[4].data1, 7);
}

TEST(MidiFileParser, TimeCodeDivisionCountsTicksPerSecond) {
    // 25 frames of 40 ticks: 1000 ticks a second; tempo events do not count.
    Track t;
    t.tempo(0, 250000).event(500, {0x90, 60, 100}).end(500);
    Song s = parsed(smf(0, static_cast<uint16_t>((0x100 - 25) << 8 | 40), {t}));
    ASSERT_EQ(s.events.size(), 1u);
    EXPECT_EQ(s.events[0].frame, 22050);
    EXPECT_EQ(s.lengthFrames(), 44100);
}

TEST(MidiFileParser, SystemExclusiveKeepsItsBody) {
    Track t;
    t.event(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}).end();
    Song s = parsed(smf(0, 96, {t}));
    ASSERT_EQ(s.events.size(), 1u);
    EXPECT_EQ(s.events[0].status, 0xF0);
    ASSERT_EQ(s.events[0].sysexLength, 4u);
    EXPECT_EQ(s.sysex, (Bytes{0x7E, 0x7F, 0x09, 0x01}));
}

TEST(MidiFileParser, RiffMidiUnwrapsToTheSameSong) {
    Bytes plain = notes(3, 100);
    Song a = parsed(plain);
    Song b = parsed(rmid(plain));
    ASSERT_EQ(a.events.size(), b.events.size());
    EXPECT_EQ(a.lengthTicks, b.lengthTicks);
    EXPECT_TRUE(MidiFileParser::recognizes(rmid(plain).data(), rmid(plain).size()));
}

TEST(MidiFileParser, RefusesWhatIsNoUsableSong) {
    const Track good = Track().event(0, {0x90, 60, 100}).end();
    Bytes riff = rmid(notes(1, 10));
    riff[12] = 'x';  // no "data" chunk any more
    const std::pair<const char*, Bytes> cases[] = {
        {"format 2", smf(2, 96, {good})},
        {"division 0", smf(0, 0, {good})},
        {"no track", smf(0, 96, {})},
        {"data before any status", smf(0, 96, {Track().event(0, {0x40, 0x40}).end()})},
        {"data byte with its top bit set", smf(0, 96, {Track().event(0, {0x90, 0x80, 0x10}).end()})},
        {"meta event past the end", smf(0, 96, {Track().event(0, {0xFF, 0x01, 0x7F, 'x'})})},
        {"tempo 0", smf(0, 96, {Track().tempo(0, 0).end()})},
        {"RIFF MIDI without data", riff},
    };
    for (const auto& [name, b] : cases) {
        Song s;
        EXPECT_FALSE(MidiFileParser::parse(b.data(), b.size(), s)) << name;
    }
}

TEST(MidiFileParser, EveryTruncationAndMutationIsSafe) {
    Track conductor;
    conductor.tempo(0, 400000).event(0, {0xFF, 0x03, 0x02, 'h', 'i'}).event(0, {0xF0, 0x02, 0x41, 0xF7}).end();
    Track melody;
    melody.event(0, {0x90, 60, 100}).event(30, {64, 100}).event(30, {0xE0, 0, 64}).end(10);
    Bytes base = smf(1, 120, {conductor, melody});
    for (size_t n = 0; n < base.size(); ++n) {
        Song s;
        MidiFileParser::parse(base.data(), n, s);  // must not read past n bytes
    }
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        Bytes b = (i & 1) ? base : rmid(base);
        for (int k = 0; k < 4; ++k) b[rng() % b.size()] = static_cast<uint8_t>(rng());
        Song s;
        if (MidiFileParser::parse(b.data(), b.size(), s)) {
            for (size_t e = 1; e < s.events.size(); ++e) ASSERT_LE(s.events[e - 1].frame, s.events[e].frame);
            for (const auto& e : s.events) {
                if (e.status != 0xF0) continue;
                ASSERT_LE(size_t{e.sysexOffset} + e.sysexLength, s.sysex.size());
            }
        }
    }
}

TEST(WaveFileParser, ReadsPlainAndExtensiblePcm) {
    Bytes samples = {1, 2, 3, 4, 5, 6, 7, 8};
    twm::PcmSound pcm;
    Bytes file = wav(11025, 2, 8, samples);
    ASSERT_TRUE(WaveFileParser::parse(file.data(), file.size(), pcm));
    EXPECT_EQ(pcm.format.channels, 2);
    EXPECT_EQ(pcm.format.rate, 11025u);
    EXPECT_EQ(pcm.frames(), 4u);
    EXPECT_EQ(pcm.data, samples);

    // 24 bits in an extensible record.
    Bytes ext = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 40, 0, 0, 0,
                 0xFE, 0xFF, 1, 0, 0x44, 0xAC, 0, 0, 0x8C, 0x0A, 0x02, 0, 3, 0, 24, 0, 22, 0, 24, 0,
                 4, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71,
                 'd', 'a', 't', 'a', 7, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7};
    ASSERT_TRUE(WaveFileParser::parse(ext.data(), ext.size(), pcm));
    EXPECT_EQ(pcm.format.containerBits, 24);
    EXPECT_TRUE(pcm.format.extensible);
    EXPECT_EQ(pcm.frames(), 2u) << "the short last frame is dropped";
}

TEST(WaveFileParser, RefusesOtherFormats) {
    Bytes floating = wav(8000, 1, 16, {0, 0}), misaligned = floating, noData = floating;
    floating[20] = 3;
    misaligned[32] = 3;  // a block alignment that does not fit
    noData.resize(36);
    const std::pair<const char*, Bytes> cases[] = {{"floating point", floating},
                                                   {"misaligned", misaligned},
                                                   {"no data chunk", noData},
                                                   {"nine channels", wav(8000, 9, 16, {})},
                                                   {"12 bits", wav(8000, 1, 12, {})}};
    for (const auto& [name, f] : cases) {
        twm::PcmSound pcm;
        EXPECT_FALSE(WaveFileParser::parse(f.data(), f.size(), pcm)) << name;
    }
}

TEST(Content, WaveMusicTimeRunsAtOneTwentyQuarters) {
    std::shared_ptr<const twm::Content> c;
    Bytes file = wav(8000, 1, 8, Bytes(8000, 0x80));
    ASSERT_EQ(twm::parseContent(file.data(), file.size(), c), TWM_OK);
    EXPECT_EQ(c->kind, TWM_KIND_WAVE);
    EXPECT_EQ(c->lengthTicks(), 1536);
    EXPECT_EQ(c->frameAt(768), 4000);
    EXPECT_EQ(c->framesFrom(768), 4000);
    Bytes junk(64, 'j');
    EXPECT_EQ(twm::parseContent(junk.data(), junk.size(), c), TWM_E_BADFILE);
}

}  // namespace
}  // namespace playtest
