#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/Process.h"
#include "host/TestHost.h"

namespace {

std::set<std::string> exportList(const std::string& path = EXPORT_LIST_PATH) {
    std::set<std::string> names;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') names.insert(line);
    return names;
}

// Defined symbols of the library's dynamic symbol table.
std::set<std::string> dynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    std::istringstream nm(testhost::runProcess({"nm", "-D", "--defined-only", path}).out);
    for (std::string address, type, name; nm >> address >> type >> name;) names.insert(name);
    return names;
}

TEST(Exports, DynamicSymbolTableHoldsExactlyTheExports) {
    ASSERT_EQ(exportList().size(), 29u);
    // Each shared object against the one list its version script is made of.
    const struct {
        const char* file;
        const char* list;
    } objects[] = {
        {"libtonewell.so", EXPORT_LIST_PATH},
        {"libtonewell-sound.so", SOUND_EXPORT_LIST_PATH},
        {"libtonewell-music.so", MUSIC_EXPORT_LIST_PATH},
    };
    for (const auto& o : objects) {
        if (*o.list == '\0') continue;  // built without the music engine
        const std::set<std::string> expected = exportList(o.list);
        EXPECT_FALSE(expected.empty()) << o.list;
        EXPECT_EQ(dynamicSymbols(testhost::libraryDir() + "/" + o.file), expected) << o.file;
    }
}

}  // namespace
