#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "host/Library.h"
#include "host/TestHost.h"

namespace {

std::set<std::string> exportList(const std::string& path = EXPORT_LIST_PATH) {
    std::set<std::string> names;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line[0] != '#') names.insert(line);
    }
    return names;
}

// Defined symbols of the library's dynamic symbol table.
std::set<std::string> dynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    std::string cmd = "nm -D --defined-only '" + path + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return names;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p)) {
        char addr[64], type[8], name[400];
        if (std::sscanf(buf, "%63s %7s %399s", addr, type, name) == 3) names.insert(name);
    }
    pclose(p);
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
