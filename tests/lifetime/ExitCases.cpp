#include "ExitCases.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <vector>

#include "host/Process.h"
#include "host/TestHost.h"
#include "host/WavBytes.h"

namespace lifetime {

using namespace wavbytes;

void expectCleanEndsWithLiveObjects(const std::string& driver) {
    const std::string dir = testhost::scratchDir() + "/exit-" + driver;
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    ASSERT_FALSE(error) << dir;
    for (const char* kind : {"oneshot", "continuous", "input", "midi", "reader", "writer"}) {
        for (const char* ending : {"exit", "unload"}) {
            SCOPED_TRACE(std::string(kind) + ", " + ending);
            std::remove((dir + "/open.wav").c_str());
            const testhost::ProcessResult r = testhost::runProcess(
                {EXIT_HOST_PATH, kind, ending, dir},
                {"TONEWELL_SOUND_DRIVER=" + driver, "TONEWELL_LIB_DIR=" + testhost::libraryDir()});
            EXPECT_EQ(r.status, 0) << "10-12: a step of the host failed; 128+: a signal\n" << r.err;
            if (std::string(kind) != "writer") continue;
            const Bytes file = readFile(dir + "/open.wav");
            constexpr uint32_t kFrames = 4410;  // a 16-bit mono ramp 0, 1, 2, ...
            ASSERT_EQ(file.size(), 56u + 2 * kFrames);
            EXPECT_EQ(get32(file, 4), file.size() - 8) << "RIFF size";
            EXPECT_EQ(get32(file, 44), 0u) << "fact value";
            EXPECT_EQ(get32(file, 52), 2 * kFrames) << "data size";
            for (uint32_t i = 0; i < kFrames; ++i)
                ASSERT_EQ(get16(file, 56 + 2 * i), i) << i;
        }
    }
}

}  // namespace lifetime
