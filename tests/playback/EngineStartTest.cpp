// The engine context: made once per process, the start-up delay, and a
// library without its engine module.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "Harness.h"
#include "TestFiles.h"
#include "host/TestHost.h"

namespace playtest {
namespace {

std::string wave() {
    return writeFile("start/s.wav", wav(8000, 1, 16, sine16(8000, 400, 400, 0.4)));
}

double timedPlay(uint32_t delayMs) {
    TaskRefnum refnum = -1;
    auto t = Clock::now();
    EXPECT_EQ(playFile(wave(), &refnum, 0, delayMs), 0);
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
    std::string path = wave();
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
    std::string dir = testhost::scratchDir() + "/no-engine";
    std::string lib = testhost::libraryDir();
    std::string cmd = "mkdir -p '" + dir + "' && cp '" + lib + "/libtonewell.so' '" + lib +
                      "/libtonewell-sound.so' '" + dir + "/'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    // Kept loaded: the library's process-wide objects live until the process ends.
    static testhost::Library* loadedCopy = new testhost::Library(dir + "/libtonewell.so");
    testhost::Library& bare = *loadedCopy;
    ASSERT_TRUE(bare.loaded()) << bare.error();
    auto path = testhost::makeString(wave());
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

}  // namespace
}  // namespace playtest
