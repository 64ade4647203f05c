#include <gtest/gtest.h>

#include <link.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "platform/Module.h"

using namespace tw::platform;

extern "C" __attribute__((visibility("default"))) int platformTestsMarker() { return 11; }

namespace {

bool mappedInProcess(const std::string& path) {
  struct Search {
    std::string path;
    bool found = false;
  } search{path};
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        if (info->dlpi_name != nullptr && s->path == info->dlpi_name) s->found = true;
        return 0;
      },
      &search);
  return search.found;
}

std::string realDirectory(const char* path) {
  char* resolved = realpath(path, nullptr);
  std::string result = resolved != nullptr ? resolved : "";
  free(resolved);
  return result.empty() ? result : result + "/";
}

std::string moduleDirectory() {
  std::string path = PLATFORM_TEST_MODULE_PATH;
  return realDirectory(path.substr(0, path.rfind('/')).c_str());
}

TEST(Module, MissingPathsAndAddressesOutsideAnyModuleFindNothing) {
  EXPECT_EQ(loadModule("/nonexistent/dir/libnothing.so"), nullptr);
  EXPECT_EQ(loadModule(nullptr), nullptr);
  EXPECT_EQ(loadModule(""), nullptr);
  EXPECT_EQ(findLoadedModule(nullptr), nullptr);
  EXPECT_EQ(findLoadedModule(""), nullptr);
  EXPECT_EQ(findLoadedModule("libnothing-at-all.so"), nullptr);
  unloadModule(nullptr);
  auto heap = std::make_unique<int>(0);
  int onStack = 0;
  EXPECT_FALSE(addressInMainProgram(heap.get()));
  EXPECT_FALSE(addressInMainProgram(&onStack));
  EXPECT_FALSE(addressInMainProgram(nullptr));
  EXPECT_EQ(moduleDirectoryOf(heap.get()), "");
  EXPECT_EQ(moduleDirectoryOf(nullptr), "");
  // Code of the C library is in a shared module, not the executable.
  EXPECT_FALSE(addressInMainProgram(reinterpret_cast<const void*>(&free)));
  EXPECT_FALSE(moduleDirectoryOf(reinterpret_cast<const void*>(&free)).empty());
}

TEST(Module, LoadedModuleSymbolsAndDirectoryAndFindLoadedHoldsNoReference) {
  ASSERT_FALSE(mappedInProcess(PLATFORM_TEST_MODULE_PATH));
  EXPECT_EQ(findLoadedModule(PLATFORM_TEST_MODULE_PATH), nullptr);
  EXPECT_EQ(findLoadedModule(PLATFORM_TEST_MODULE_NAME), nullptr);
  EXPECT_FALSE(mappedInProcess(PLATFORM_TEST_MODULE_PATH));

  ModuleHandle module = loadModule(PLATFORM_TEST_MODULE_PATH);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(findLoadedModule(PLATFORM_TEST_MODULE_PATH), module);
  EXPECT_EQ(findLoadedModule(PLATFORM_TEST_MODULE_NAME), module);
  auto value = reinterpret_cast<int (*)()>(findSymbol(module, "platformTestModuleValue"));
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value(), 7);
  EXPECT_EQ(findSymbol(module, "noSuchSymbol"), nullptr);
  EXPECT_EQ(findSymbol(module, nullptr), nullptr);
  // A null module must not turn into a search of every module.
  EXPECT_EQ(findSymbol(nullptr, "platformTestModuleValue"), nullptr);
  EXPECT_FALSE(addressInMainProgram(reinterpret_cast<const void*>(value)));
  EXPECT_EQ(moduleDirectoryOf(reinterpret_cast<const void*>(value)), moduleDirectory());
  unloadModule(module);
  EXPECT_FALSE(mappedInProcess(PLATFORM_TEST_MODULE_PATH));
  EXPECT_EQ(findLoadedModule(PLATFORM_TEST_MODULE_PATH), nullptr);
}

TEST(Module, MainProgramSymbolsAndDirectory) {
  ModuleHandle self = mainProgramModule();
  ASSERT_NE(self, nullptr);
  void* marker = findSymbol(self, "platformTestsMarker");
  ASSERT_EQ(marker, reinterpret_cast<void*>(&platformTestsMarker));
  EXPECT_TRUE(addressInMainProgram(marker));
  EXPECT_EQ(moduleDirectoryOf(marker), realDirectory(PLATFORM_TEST_BINARY_DIR));
  EXPECT_FALSE(moduleDirectoryOf(marker).empty());
}

}  // namespace
