// Which paths mark a segment as a Standard MIDI File, and the search
// directory each path sets.
#include "Harness.h"
#include "TestFiles.h"

namespace playtest {
namespace {

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

}  // namespace
}  // namespace playtest
