// The host may call a registered clean-up procedure from any of its threads
// until the mode-0 call for it returns. A host thread runs every procedure in
// a loop while other threads make and destroy objects of each kind: the
// procedures must only ever meet whole objects.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/Library.h"
#include "host/TestHost.h"

namespace {

const testhost::Exports& api() { return testhost::library().api(); }

struct Kind {
    const char* name;
    // Makes an object (and uses it a little); its refnum, or -1.
    std::function<TaskRefnum(int worker)> open;
    std::function<int32_t(TaskRefnum)> close;
};

TaskRefnum output(int32_t mode) {
    double rate = 44100.0;
    int32_t channels = 2, bits = 16;
    TaskRefnum refnum = -1;
    if (api().SOConfigure(0, 1024, &rate, &channels, &bits, mode, &refnum) != 0) return -1;
    auto block = testhost::makeArray2D(TW_TYPE_I16, 2, 256);
    api().SOWrite(refnum, block.get(), 0.05, TW_TYPE_I16);  // any code: the clean-up may be first
    api().SOWait(refnum, 0.0);                               // the wait's own registration
    return refnum;
}

TaskRefnum input() {
    double rate = 44100.0;
    int32_t channels = 2, bits = 16, total = 0;
    TaskRefnum refnum = -1;
    if (api().SIConfigure(0, 1024, &rate, &channels, &bits, 1, &refnum) != 0) return -1;
    auto array = testhost::makeArray2D(TW_TYPE_I16, 2, 0);
    api().SIRead(refnum, array.get(), 64, &total, 0.02, TW_TYPE_I16);
    return refnum;
}

// A writer of its own file with a block written; closed, a file for readers
// and the MIDI task to open.
TaskRefnum writer(const std::string& file) {
    auto name = testhost::makeString(file);
    TaskRefnum refnum = -1;
    if (api().SoundWriteFileOpen(name.get(), &refnum, 8000.0, 1, 16) != 0) return -1;
    auto block = testhost::makeArray2D(TW_TYPE_I16, 1, 800);
    int32_t n = 0;
    api().SoundWriteFileData(refnum, block.get(), &n, TW_TYPE_I16);
    return refnum;
}

std::string path(const char* what, int worker) {
    return testhost::scratchDir() + "/race-" + what + std::to_string(worker) + ".wav";
}

TaskRefnum openWith(int32_t (*open)(TwStringHandle, TaskRefnum*), const std::string& file) {
    auto name = testhost::makeString(file);
    TaskRefnum refnum = -1;
    return open(name.get(), &refnum) == 0 ? refnum : -1;
}

TEST(CleanupRace, ProceduresOnlyMeetWholeObjects) {
    ASSERT_TRUE(testhost::library().loaded()) << testhost::library().error();
    const std::vector<std::string> files = {path("r", 0), path("r", 1)};
    for (const auto& file : files) api().SoundFileClose(writer(file));
    const auto soClear = api().SOClear;
    const std::vector<Kind> kinds = {
        {"one-shot output", [](int) { return output(0); }, soClear},
        {"continuous output", [](int) { return output(1); }, soClear},
        {"input", [](int) { return input(); }, api().SIClear},
        {"writer", [](int w) { return writer(path("w", w)); }, api().SoundFileClose},
        {"reader", [&](int w) { return openWith(api().SoundReadFileOpen, files[w]); }, api().SoundFileClose},
        {"midi", [&](int w) {
             return openWith([](TwStringHandle n, TaskRefnum* r) { return api().PlaySoundFile(0, n, 0, r); }, files[w]);
         }, soClear},
    };
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        std::atomic<bool> done{false};
        std::atomic<int> made{0}, failed{0}, cleanups{0};
        std::thread host([&] {
            while (!done) cleanups += static_cast<int>(testhost::runCleanups().size());
        });
        std::vector<std::thread> workers;
        for (int w = 0; w < 2; ++w) {
            workers.emplace_back([&, w] {
                const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(700);
                while (std::chrono::steady_clock::now() < end) {
                    const TaskRefnum refnum = kind.open(w);
                    if (refnum < 0 || kind.close(refnum) != 0) ++failed;
                    ++made;
                }
            });
        }
        for (auto& t : workers) t.join();
        done = true;
        host.join();
        EXPECT_EQ(failed.load(), 0);
        EXPECT_GT(made.load(), 4);
        EXPECT_GT(cleanups.load(), 0) << "the host found objects to clean up";
        EXPECT_EQ(testhost::registrationCount(), 0u);
    }
}

}  // namespace
