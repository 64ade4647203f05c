#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "host/Process.h"
#include "host/TestHost.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::set<std::string> exportList(const std::string& path = EXPORT_LIST_PATH) {
    std::set<std::string> names;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') names.insert(line);
    return names;
}

#ifdef _WIN32
std::string moduleFile(const std::string& name) { return name + ".dll"; }

// The names of the DLL's export directory, read from its image mapped as data.
std::set<std::string> dynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    HMODULE module = ::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) return names;
    // The low bits only mark how the image was mapped.
    const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<uintptr_t>(module) & ~uintptr_t{3});
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (dir.Size != 0) {
        const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
        const auto* rvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.insert(reinterpret_cast<const char*>(base + rvas[i]));
    }
    ::FreeLibrary(module);
    return names;
}
#else
std::string moduleFile(const std::string& name) { return "lib" + name + ".so"; }

// Defined symbols of the library's dynamic symbol table.
std::set<std::string> dynamicSymbols(const std::string& path) {
    std::set<std::string> names;
    std::istringstream nm(testhost::runProcess({"nm", "-D", "--defined-only", path}).out);
    for (std::string address, type, name; nm >> address >> type >> name;) names.insert(name);
    return names;
}
#endif

TEST(Exports, DynamicSymbolTableHoldsExactlyTheExports) {
    ASSERT_EQ(exportList().size(), 29u);
    // Each shared object against the one list its version script is made of.
    const struct {
        const char* file;
        const char* list;
    } objects[] = {
        {"tonewell", EXPORT_LIST_PATH},
        {"tonewell-sound", SOUND_EXPORT_LIST_PATH},
        {"tonewell-music", MUSIC_EXPORT_LIST_PATH},
    };
    for (const auto& o : objects) {
        if (*o.list == '\0') continue;  // built without the music engine
        const std::set<std::string> expected = exportList(o.list);
        EXPECT_FALSE(expected.empty()) << o.list;
        EXPECT_EQ(dynamicSymbols(testhost::libraryDir() + "/" + moduleFile(o.file)), expected) << o.file;
    }
}

}  // namespace
