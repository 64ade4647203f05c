// Which paths mark a segment as a Standard MIDI File, and the search
// directory each path sets.
#include "Harness.h"
#include "TestFiles.h"

namespace playtest {
namespace {

struct Loaded {
    int32_t result;
    twm_segment_info info;
};

Loaded load(const std::string& path) {
    TaskRefnum refnum = -1;
    int32_t r = playFile(path, &refnum);
    Loaded l{r, lastSegment()};
    if (refnum >= 0) testhost::library()->SOClear(refnum);
    return l;
}

TEST_F(MidiPlaybackTest, LowerCaseMidAndRmiAreMarkedCapitalsAreNot) {
    Bytes song = notes(1, 60);
    Loaded mid = load(writeFile("mark/a.mid", song));
    ASSERT_EQ(mid.result, 0);
    EXPECT_EQ(mid.info.kind, TWM_KIND_MIDI);
    EXPECT_EQ(mid.info.standard_midi, 1);

    Loaded rmi = load(writeFile("mark/b.rmi", rmid(song)));
    ASSERT_EQ(rmi.result, 0);
    EXPECT_EQ(rmi.info.kind, TWM_KIND_MIDI);
    EXPECT_EQ(rmi.info.standard_midi, 1);

    // Loaded by content all the same, but not marked.
    Loaded upper = load(writeFile("mark/C.MID", song));
    ASSERT_EQ(upper.result, 0);
    EXPECT_EQ(upper.info.kind, TWM_KIND_MIDI);
    EXPECT_EQ(upper.info.standard_midi, 0);
    Loaded upperRmi = load(writeFile("mark/D.RMI", rmid(song)));
    ASSERT_EQ(upperRmi.result, 0);
    EXPECT_EQ(upperRmi.info.standard_midi, 0);

    // Anywhere in the path, as a plain substring.
    Loaded inside = load(writeFile("mark/e.midi.song", song));
    ASSERT_EQ(inside.result, 0);
    EXPECT_EQ(inside.info.standard_midi, 1);
}

TEST_F(PlaybackTest, WaveInADirectoryNamedMidIsMarkedAndStillPlays) {
    Bytes pcm = sine16(8000, 800, 500, 0.4);
    Loaded wave = load(writeFile("tunes.mid/x.wav", wav(8000, 1, 16, pcm)));
    ASSERT_EQ(wave.result, 0);
    EXPECT_EQ(wave.info.kind, TWM_KIND_WAVE);
    EXPECT_EQ(wave.info.standard_midi, 1);
    Loaded plain = load(writeFile("tunes/x.wav", wav(8000, 1, 16, pcm)));
    ASSERT_EQ(plain.result, 0);
    EXPECT_EQ(plain.info.standard_midi, 0);
}

TEST_F(PlaybackTest, SearchDirectoryIsThePathCutAtItsLastSlash) {
    std::string path = writeFile("dirs/one/two/s.wav", wav(8000, 1, 16, sine16(8000, 400, 500, 0.4)));
    Loaded l = load(path);
    ASSERT_EQ(l.result, 0);
    EXPECT_EQ(std::string(l.info.search_directory), path.substr(0, path.rfind('/')));
    EXPECT_EQ(std::string(l.info.path), path);
}

TEST_F(PlaybackTest, PathWithoutSlashIsItsOwnSearchDirectory) {
    // The whole text names the search directory, and a file is no directory.
    TaskRefnum refnum = 3;
    EXPECT_EQ(playFile("song.wav", &refnum), 4805);
    EXPECT_EQ(refnum, -1);
}

}  // namespace
}  // namespace playtest
