// The ALSA driver over a task's life: a sound server that dies under a
// stream and a capture, and comes back.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include <unistd.h>

#include "DriverTestSupport.h"
#include "host/Library.h"
#include "host/TestHost.h"

namespace drivertest {
namespace {

using testhost::library;

// A server of this test's own, so that killing it disturbs no other test;
// once it is gone, the tests after this one in the process use the shared
// server again.
class OwnServer {
public:
    // Under /tmp: a socket path has room for about 100 characters only.
    OwnServer() : dir_("/tmp/tonewell-own-server-" + std::to_string(::getpid())) {
        for (const char* name : kVariables) saved_.push_back(std::getenv(name) ? std::getenv(name) : "");
    }
    ~OwnServer() {
        run("stop");
        std::system(("rm -rf '" + dir_ + "'").c_str());
        for (size_t i = 0; i < std::size(kVariables); ++i)
            saved_[i].empty() ? ::unsetenv(kVariables[i]) : ::setenv(kVariables[i], saved_[i].c_str(), 1);
    }
    bool start() {
        if (!run("start")) return false;
        ::setenv("PULSE_SERVER", ("unix:" + dir_ + "/sock").c_str(), 1);
        ::unsetenv("PULSE_SINK");  // its own null sink is the default
        ::unsetenv("PULSE_SOURCE");
        return true;
    }
    void kill() {
        std::ifstream pid(dir_ + "/server.pid");
        int n = 0;
        if (pid >> n && n > 0) std::system(("kill -9 " + std::to_string(n)).c_str());
    }

private:
    bool run(const char* action) {
        return std::system((std::string(SOUND_SERVER_SCRIPT) + " " + action + " '" + dir_ + "' >/dev/null 2>&1").c_str()) == 0;
    }
    static constexpr const char* kVariables[] = {"PULSE_SERVER", "PULSE_SINK", "PULSE_SOURCE"};
    std::string dir_;
    std::vector<std::string> saved_;
};

// Kill the server mid-stream and mid-capture: both tasks end with an error
// and stop, no call hangs; once a server is back, new tasks work.
TEST(AlsaLifetime, ServerDeathFailsTheTasksAndANewServerServesNewOnes) {
    module();  // this program's own settings first, then the server's
    OwnServer server;
    if (!server.start()) {
        if (serverRequired()) FAIL() << "no sound server could be started";
        GTEST_SKIP() << "no sound server (pulseaudio) to start";
    }
    ASSERT_TRUE(library().loaded()) << library().error();
    auto open = [](bool input, TaskRefnum& refnum) {
        double rate = 44100;
        int32_t channels = 2, bits = 16;
        return input ? library()->SIConfigure(0, 8820, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &refnum)
                     : library()->SOConfigure(0, 8820, &rate, &channels, &bits, TW_MODE_CONTINUOUS, &refnum);
    };
    TaskRefnum out = -1, in = -1;
    ASSERT_EQ(open(false, out), 0);
    ASSERT_EQ(open(true, in), 0);
    std::atomic<int32_t> writeEnd{-1}, readEnd{-1};
    std::atomic<int> blocksWritten{0}, blocksRead{0};
    std::thread writer([&] {
        auto block = testhost::makeArray2D(TW_TYPE_I16, 2, 2205);
        int32_t r;
        while ((r = library()->SOWrite(out, block.get(), -1, TW_TYPE_I16)) <= 0) ++blocksWritten;
        writeEnd = r;
    });
    std::thread reader([&] {
        auto array = testhost::makeArray2D(TW_TYPE_I16, 2, 0);
        int32_t r, total = 0;
        while ((r = library()->SIRead(in, array.get(), 2205, &total, -1, TW_TYPE_I16)) == 0) ++blocksRead;
        readEnd = r;
    });
    while (blocksWritten < 8 || blocksRead < 4) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    server.kill();
    for (int i = 0; i < 500 && (writeEnd < 0 || readEnd < 0); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (writeEnd < 0 || readEnd < 0) {
        ADD_FAILURE() << "a call did not return after the server died";
        std::_Exit(1);
    }
    writer.join();
    reader.join();
    EXPECT_GT(writeEnd.load(), 0) << "the stream reports an error";
    EXPECT_EQ(readEnd.load(), TW_E_CAPTURE_STOPPED);
    for (auto [refnum, input] : {std::pair{out, uint8_t{0}}, std::pair{in, uint8_t{1}}}) {
        uint8_t running = 1, continuous = 0;
        EXPECT_EQ(library()->GetConfState(refnum, &input, &running, &continuous), 0);
        EXPECT_EQ(running, 0) << "input " << int(input);
    }
    EXPECT_EQ(library()->SOStop(out), writeEnd.load());
    EXPECT_EQ(library()->SOClear(out), 0);
    EXPECT_EQ(library()->SIClear(in), 0);

    ASSERT_TRUE(server.start());
    ASSERT_EQ(open(false, out), 0);
    ASSERT_EQ(open(true, in), 0);
    auto block = testhost::makeArray2D(TW_TYPE_I16, 2, 4410);
    EXPECT_EQ(library()->SOWrite(out, block.get(), 5.0, TW_TYPE_I16), 0);
    EXPECT_EQ(library()->SOWait(out, 5.0), 0);
    auto array = testhost::makeArray2D(TW_TYPE_I16, 2, 0);
    int32_t total = 0;
    EXPECT_EQ(library()->SIRead(in, array.get(), 2205, &total, 5.0, TW_TYPE_I16), 0);
    EXPECT_EQ(total, 2205);
    EXPECT_EQ(library()->SOClear(out), 0);
    EXPECT_EQ(library()->SIClear(in), 0);
}

}  // namespace
}  // namespace drivertest
