// The library loaded from a folder without the sound system module, and from
// an installed tree's layout, where the module lies in tonewell/ beside it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "host/Library.h"
#include "host/TestHost.h"

namespace {

TEST(MissingModule, DevicesAndTasksAnswerAsWithoutSoundSystem) {
    std::string dir = testhost::scratchDir() + "/lonely";
    std::string cmd = "mkdir -p '" + dir + "' && cp '" + testhost::libraryDir() + "/libtonewell.so' '" + dir + "/'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    // Kept loaded, as a host keeps it: the device manager lives as long as
    // the library and is deliberately never destroyed.
    static testhost::Library* copy = new testhost::Library(dir + "/libtonewell.so");
    auto& lib = *copy;
    ASSERT_TRUE(lib.loaded()) << lib.error();

    for (uint8_t input : {0, 1}) {
        int32_t count = -1;
        EXPECT_EQ(lib->SoundNumDevices(&input, &count), 0);
        EXPECT_EQ(count, 0);
        auto channels = testhost::makeInt32Array({1});
        auto name = testhost::makeString("x");
        double lo = 5, hi = 5;
        EXPECT_EQ(lib->SoundDeviceInfo(0, &input, channels.get(), nullptr, &lo, &hi, name.get()), 4800);
        EXPECT_TRUE(testhost::readInt32Array(channels.get()).empty());
        EXPECT_EQ(lo, 0.0);
        EXPECT_EQ(testhost::readString(name.get()), "");
    }
    double rate = 44100;
    int32_t ch = 2, bits = 16;
    TaskRefnum refnum = 0;
    EXPECT_EQ(lib->SOConfigure(0, 1024, &rate, &ch, &bits, 1, &refnum), 4800);
    EXPECT_EQ(refnum, -1);
    EXPECT_EQ(lib->SIConfigure(0, 1024, &rate, &ch, &bits, 1, &refnum), 4800);
    EXPECT_EQ(refnum, -1);
}

TEST(MissingModule, AnInstalledTreeFindsItsModuleInThePrivateFolder) {
    const std::string dir = testhost::scratchDir() + "/installed";
    const std::string cmd = "mkdir -p '" + dir + "/tonewell' && cp '" + testhost::libraryDir() + "/libtonewell.so' '" +
                            dir + "/libtonewell.so.1' && cp '" + testhost::libraryDir() + "/libtonewell-sound.so' '" +
                            dir + "/tonewell/'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    static testhost::Library* copy = new testhost::Library(dir + "/libtonewell.so.1");
    ASSERT_TRUE(copy->loaded()) << copy->error();
    for (uint8_t input : {0, 1}) {
        int32_t count = -1;
        EXPECT_EQ((*copy)->SoundNumDevices(&input, &count), 0);
        EXPECT_EQ(count, 2) << "the virtual driver's devices";
    }
}

}  // namespace
