#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include "host/Library.h"
#include "host/TestHost.h"

namespace {

std::set<std::string> exportList() {
    std::set<std::string> names;
    std::ifstream in(EXPORT_LIST_PATH);
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
    std::set<std::string> expected = exportList();
    ASSERT_EQ(expected.size(), 29u);
    EXPECT_EQ(dynamicSymbols(testhost::libraryDir() + "/libtonewell.so"), expected);
}

TEST(Exports, EveryExportResolves) {
    auto& lib = testhost::library();
    ASSERT_TRUE(lib.loaded()) << lib.error();
    for (const auto& name : exportList()) {
        EXPECT_NE(dlsym(lib.handle(), name.c_str()), nullptr) << name;
    }
}

}  // namespace
