// The library loaded from a folder without the sound system module, and from
// an installed tree's layout, where the module lies in tonewell/ beside it.
// (What a missing module means to the device manager and its callers, the
// manager's own tests and the device query tests hold.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "host/Library.h"
#include "host/TestHost.h"

namespace {

// The library (and the module) copied by `copy` into a scratch folder `dir`
// and loaded from there. Kept loaded, as a host keeps it: the device manager
// lives as long as the library and is deliberately never destroyed.
testhost::Library& copied(const std::string& dir, const std::string& copy, const std::string& library) {
    const std::string lib = testhost::libraryDir();
    EXPECT_EQ(std::system(("mkdir -p '" + dir + "/tonewell' && cd '" + lib + "' && " + copy).c_str()), 0);
    static auto* kept = new std::vector<testhost::Library*>();
    kept->push_back(new testhost::Library(dir + "/" + library));
    EXPECT_TRUE(kept->back()->loaded()) << kept->back()->error();
    return *kept->back();
}

int32_t numDevices(testhost::Library& lib, uint8_t input) {
    int32_t count = -1;
    EXPECT_EQ(lib->SoundNumDevices(&input, &count), 0);
    return count;
}

TEST(MissingModule, NoDevicesWithoutTheModuleBesideTheLibrary) {
    const std::string dir = testhost::scratchDir() + "/lonely";
    testhost::Library& lib = copied(dir, "cp libtonewell.so '" + dir + "/'", "libtonewell.so");
    ASSERT_TRUE(lib.loaded());
    for (uint8_t input : {0, 1}) EXPECT_EQ(numDevices(lib, input), 0);
}

TEST(MissingModule, AnInstalledTreeFindsItsModuleInThePrivateFolder) {
    const std::string dir = testhost::scratchDir() + "/installed";
    testhost::Library& lib = copied(
        dir, "cp libtonewell.so '" + dir + "/libtonewell.so.1' && cp libtonewell-sound.so '" + dir + "/tonewell/'",
        "libtonewell.so.1");
    ASSERT_TRUE(lib.loaded());
    for (uint8_t input : {0, 1}) EXPECT_EQ(numDevices(lib, input), 2) << "the virtual driver's devices";
}

}  // namespace
