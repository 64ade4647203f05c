// The music engine under the MIDI task: how the task answers when the engine
// refuses a step, when host clean-up has shut the task down, and without a
// SoundFont; the engine context, made once per process.
#include <chrono>
#include <filesystem>
#include <thread>

#include "Harness.h"
#include "TestFiles.h"
#include "host/TestHost.h"
#include "host/ThreadHold.h"

namespace playtest {
namespace {

std::string shortWave() {
    return writeFile("faults/s.wav", wav(8000, 1, 16, sine16(8000, 8000, 400, 0.4)));
}

// ---- The engine context: made once per process (first here, so that a run
// of the whole program sees it made), the start-up delay, and a library
// without its engine module.
double timedPlay(uint32_t delayMs) {
    TaskRefnum refnum = -1;
    auto t = Clock::now();
    EXPECT_EQ(playFile(shortWave(), &refnum, 0, delayMs), 0);
    const double seconds = secondsSince(t);
    testhost::library()->SOClear(refnum);
    return seconds;
}

TEST_F(PlaybackTest, StartupDelayCountsOnlyWhenTheContextIsMade) {
    if (liveCounts().performances > 0) GTEST_SKIP() << "the engine context was made by an earlier test";
    EXPECT_GE(timedPlay(400), 0.4);
    // Were the delay counted again, this one would take 30 s.
    EXPECT_LT(timedPlay(30000), 15.0);
}

TEST_F(PlaybackTest, RacingFirstCallsMakeOneContext) {
    TaskRefnum refnums[4] = {-1, -1, -1, -1};
    int32_t results[4] = {-1, -1, -1, -1};
    std::string path = shortWave();
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) threads.emplace_back([&, i] { results[i] = playFile(path, &refnums[i]); });
    for (auto& t : threads) t.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(results[i], 0);
        EXPECT_GE(refnums[i], 0);
        testhost::library()->SOClear(refnums[i]);
    }
    EXPECT_EQ(liveCounts().loaders, 1u);
    EXPECT_EQ(liveCounts().performances, 1u);
    EXPECT_EQ(liveCounts().threads, 1u);
}

TEST_F(PlaybackTest, WithoutTheEngineModuleTheSearchDirectoryIsRefused) {
    const std::filesystem::path dir = testhost::scratchDir() + "/no-engine";
    std::filesystem::create_directories(dir);
    for (const std::string& file : {testhost::libraryPath(), testhost::soundModulePath()})
        std::filesystem::copy_file(file, dir / std::filesystem::path(file).filename(),
                                   std::filesystem::copy_options::overwrite_existing);
    // Kept loaded: the library's process-wide objects live until the process ends.
    static testhost::Library* loadedCopy = new testhost::Library((dir / testhost::kLibraryFile).string());
    testhost::Library& bare = *loadedCopy;
    ASSERT_TRUE(bare.loaded()) << bare.error();
    auto path = testhost::makeString(shortWave());
    TaskRefnum refnum = 8;
    EXPECT_EQ(bare->PlaySoundFile(0, path.get(), 0, &refnum), 4805);
    EXPECT_EQ(refnum, -1);
    EXPECT_EQ(bare->PlaySoundFile(5, path.get(), 0, &refnum), 4800);
    EXPECT_EQ(refnum, -1);
    auto empty = testhost::makeString("");
    refnum = 8;
    EXPECT_EQ(bare->PlaySoundFile(0, empty.get(), 0, &refnum), 4805);
    EXPECT_EQ(refnum, 8);
}

// ---- Faults ----

TEST_F(PlaybackTest, RefusedStepsMapToTheirCodes) {
    struct Case {
        uint32_t fault;
        const char* file;
        int32_t code;
    };
    std::string wave = shortWave();
    std::string mid = writeFile("faults/m.mid", notes(1, 120));
    bool midi = haveSoundFont();
    for (Case c : {Case{TWM_FAULT_SEARCH_DIRECTORY, "w", 4805}, Case{TWM_FAULT_LOAD, "w", 4810},
                   Case{TWM_FAULT_MARK, "m", 4810}, Case{TWM_FAULT_DOWNLOAD, "w", 4810},
                   Case{TWM_FAULT_REPEATS, "w", 4803}}) {
        if (*c.file == 'm' && !midi) continue;
        SCOPED_TRACE(c.fault);
        music().twm_control_fault(c.fault, TWM_E_FAIL, 1);
        TaskRefnum refnum = 9;
        EXPECT_EQ(playFile(*c.file == 'm' ? mid : wave, &refnum), c.code);
        EXPECT_EQ(refnum, -1);
        EXPECT_EQ(liveCounts().segments, 0u) << "the failed task's segment is gone";
    }
}

// A segment that refuses to play still makes a task, which plays at a later
// start; refused steps of volume, pause and stop leave the task where they
// stopped.
TEST_F(PlaybackTest, RefusedPlayVolumePauseAndStop) {
    music().twm_control_fault(TWM_FAULT_PLAY, TWM_E_FAIL, 2);
    TaskRefnum refnum = -1;
    ASSERT_EQ(playFile(shortWave(), &refnum), 0);
    EXPECT_FALSE(running(refnum));
    EXPECT_EQ(api().SOStart(refnum), 4803);
    EXPECT_EQ(api().SOStart(refnum), 0) << "the engine plays again";
    EXPECT_TRUE(running(refnum));
    music().twm_control_fault(TWM_FAULT_MASTER_VOLUME, TWM_E_FAIL, 1);
    EXPECT_EQ(setVolume(refnum, 30), -4803);
    EXPECT_EQ(volumes(refnum), (std::vector<int32_t>{100, 100, 0, 0})) << "volume left";

    music().twm_control_fault(TWM_FAULT_GET_START_POINT, TWM_E_FAIL, 1);
    EXPECT_EQ(api().SOPause(refnum), 4803);
    EXPECT_TRUE(running(refnum));
    music().twm_control_fault(TWM_FAULT_GET_TIME, TWM_E_FAIL, 1);
    EXPECT_EQ(api().SOPause(refnum), 4803);
    EXPECT_FALSE(running(refnum)) << "stopped before the time was asked for";

    EXPECT_EQ(api().SOStart(refnum), 0);
    music().twm_control_fault(TWM_FAULT_STOP, TWM_E_FAIL, 1);
    EXPECT_EQ(api().SOStop(refnum), 4803);
    EXPECT_TRUE(running(refnum));
    music().twm_control_fault(TWM_FAULT_SET_START_POINT, TWM_E_FAIL, 1);
    EXPECT_EQ(api().SOStop(refnum), 4803);
    EXPECT_FALSE(running(refnum));
    EXPECT_EQ(api().SOClear(refnum), 0);
}

TEST_F(PlaybackTest, HostCleanupFreesTheSegmentAndTheTaskReportsStopped) {
    testhost::clearRegistrations();
    TaskRefnum refnum = -1;
    ASSERT_EQ(playFile(shortWave(), &refnum), 0);
    ASSERT_TRUE(running(refnum));
    // A caller waiting without limit is let go by the clean-up.
    testhost::CallThread waiter([&] { EXPECT_EQ(testhost::library()->SOWait(refnum, -1), 0); });
    testhost::awaitSleeping(waiter.id());  // in its poll
    for (int32_t r : testhost::runCleanups()) EXPECT_EQ(r, 0);
    waiter.join();
    EXPECT_EQ(liveCounts().segments, 0u);
    EXPECT_EQ(liveCounts().plays, 0u);

    EXPECT_EQ(stateDesc(refnum), "IsPlaying= F");
    EXPECT_FALSE(running(refnum));
    EXPECT_EQ(api().SOWait(refnum, -1), 0);
    EXPECT_EQ(api().SOWait(refnum, 1.0), 0);
    EXPECT_EQ(api().SOStart(refnum), 4803);
    EXPECT_EQ(api().SOStop(refnum), 4803);
    EXPECT_EQ(api().SOPause(refnum), 0);
    EXPECT_EQ(volumes(refnum), (std::vector<int32_t>{0, 0, 0, 0}));
    EXPECT_EQ(api().SOClear(refnum), 0);
    EXPECT_EQ(testhost::registrationCount(), 0u);
}

TEST_F(PlaybackTest, WithoutSoundFontMidiCannotBeLoadedButWaveCan) {
    std::string empty = testhost::scratchDir() + "/no-soundfont";
    std::filesystem::create_directories(empty);
    music().twm_control_set_soundfont_dir(empty.c_str());
    TaskRefnum refnum = 4;
    EXPECT_EQ(playFile(writeFile("faults/n.mid", notes(1, 120)), &refnum), 4810);
    EXPECT_EQ(refnum, -1);
    EXPECT_EQ(playFile(shortWave(), &refnum), 0);
    EXPECT_GE(refnum, 0);
    EXPECT_EQ(api().SOClear(refnum), 0);
}

// Two tasks of one file play apart; neither takes sample data.
TEST_F(PlaybackTest, ClearingStopsThePlayAndFreesEverything) {
    TaskRefnum a = -1, b = -1;
    ASSERT_EQ(playFile(shortWave(), &a), 0);
    ASSERT_EQ(playFile(shortWave(), &b), 0);
    EXPECT_TRUE(running(a));
    EXPECT_TRUE(running(b));
    EXPECT_EQ(liveCounts().plays, 2u);
    auto data = testhost::makeArray2D(TW_TYPE_I16, 2, 16);
    EXPECT_EQ(api().SOWrite(a, data.get(), 1.0, TW_TYPE_I16), TW_E_ARGUMENT);
    EXPECT_EQ(api().SOClear(a), 0);
    EXPECT_EQ(api().SOClear(a), TW_E_BAD_REFNUM);
    EXPECT_TRUE(running(b));
    EXPECT_EQ(api().SOClear(b), 0);
    EXPECT_EQ(liveCounts().segments, 0u);
    EXPECT_EQ(liveCounts().plays, 0u);
    EXPECT_EQ(liveCounts().cached, 0u);
}

}  // namespace
}  // namespace playtest
