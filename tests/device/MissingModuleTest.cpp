// The library loaded from a folder without the sound system module, and from
// an installed tree's layout, where the module lies in tonewell/ beside it.
// (What a missing module means to the device manager and its callers, the
// manager's own tests and the device query tests hold.)
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/Library.h"
#include "host/TestHost.h"
#include "tonewell_sound.h"

namespace {

// The library (and the module) copied, each file to its name under the
// scratch folder `dir`, and loaded from there (the first file). Kept loaded,
// as a host keeps it: the device manager lives as long as the library and is
// deliberately never destroyed.
testhost::Library& copied(const std::string& dir, const std::vector<std::pair<std::string, std::string>>& files) {
    // Afresh: a scratch folder can be an earlier process's (process ids recur).
    std::error_code error;
    std::filesystem::remove_all(dir, error);
    std::filesystem::create_directories(dir + "/tonewell");
    for (const auto& [from, to] : files) {
        std::filesystem::copy_file(testhost::libraryDir() + "/" + from, dir + "/" + to, error);
        EXPECT_FALSE(error) << from << ": " << error.message();
    }
    static auto* kept = new std::vector<testhost::Library*>();
    kept->push_back(new testhost::Library(dir + "/" + files.front().second));
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
    testhost::Library& lib = copied(dir, {{testhost::kLibraryFile, testhost::kLibraryFile}});
    ASSERT_TRUE(lib.loaded());
    for (uint8_t input : {0, 1}) EXPECT_EQ(numDevices(lib, input), 0);
}

TEST(MissingModule, AnInstalledTreeFindsItsModuleInThePrivateFolder) {
    const std::string dir = testhost::scratchDir() + "/installed";
#ifdef _WIN32
    const std::string installedName = testhost::kLibraryFile;
#else
    const std::string installedName = "libtonewell.so.1";
#endif
    testhost::Library& lib = copied(dir, {{testhost::kLibraryFile, installedName},
                                          {TWS_MODULE_FILE, std::string("tonewell/") + TWS_MODULE_FILE}});
    ASSERT_TRUE(lib.loaded());
    for (uint8_t input : {0, 1}) EXPECT_EQ(numDevices(lib, input), 2) << "the virtual driver's devices";
}

}  // namespace
