#include "ExitCases.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "host/TestHost.h"

extern char** environ;

namespace lifetime {
namespace {

// The exit status, or 128 + the signal that ended the child.
int runHost(const std::string& driver, const std::string& kind, const std::string& ending, const std::string& dir) {
    std::vector<std::string> env = {"TONEWELL_SOUND_DRIVER=" + driver, "TONEWELL_LIB_DIR=" + testhost::libraryDir()};
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("TONEWELL_SOUND_DRIVER=", 0) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string program = EXIT_HOST_PATH;
    std::vector<std::string> args = {program, kind, ending, dir};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), envp.data()) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

}  // namespace

void expectCleanEndsWithLiveObjects(const std::string& driver) {
    const std::string dir = testhost::scratchDir() + "/exit-" + driver;
    ASSERT_EQ(std::system(("mkdir -p '" + dir + "'").c_str()), 0);
    for (const char* kind : {"oneshot", "continuous", "input", "midi", "reader", "writer"}) {
        for (const char* ending : {"exit", "unload"}) {
            SCOPED_TRACE(std::string(kind) + ", " + ending);
            std::remove((dir + "/open.wav").c_str());
            EXPECT_EQ(runHost(driver, kind, ending, dir), 0) << "10-12: a step of the host failed; 128+: a signal";
            if (std::string(kind) != "writer") continue;
            std::ifstream in(dir + "/open.wav", std::ios::binary);
            const std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            constexpr uint32_t kFrames = 4410;  // a 16-bit mono ramp 0, 1, 2, ...
            ASSERT_EQ(file.size(), 56u + 2 * kFrames);
            EXPECT_EQ(le32(file, 4), file.size() - 8) << "RIFF size";
            EXPECT_EQ(le32(file, 44), 0u) << "fact value";
            EXPECT_EQ(le32(file, 52), 2 * kFrames) << "data size";
            for (uint32_t i = 0; i < kFrames; ++i) ASSERT_EQ(file[56 + 2 * i] | file[57 + 2 * i] << 8, int(i)) << i;
        }
    }
}

}  // namespace lifetime
