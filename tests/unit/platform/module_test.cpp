#include "platform/module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

#include "platform/dynlib.h"
#include "platform/winpath.h"
#include "unit/platform/test_paths.h"

namespace {

bool endsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

TEST(Module, MainExecutableInBothForms) {
  const std::string exe = platform::executablePath();
  EXPECT_TRUE(endsWith(exe, "/platform_tests")) << exe;

  const std::string name = platform::moduleFileName(0);
  ASSERT_GE(name.size(), 3u) << name;
  EXPECT_EQ(name.substr(1, 2), ":\\") << name;
  EXPECT_EQ(name.find('/'), std::string::npos) << name;
  EXPECT_TRUE(endsWith(name, "\\platform_tests")) << name;
  EXPECT_EQ(platform::toNativePath(name), exe);

  // The main program's own dlopen handle names the executable too.
  void* self = dlopen(nullptr, RTLD_NOW);
  ASSERT_NE(self, nullptr);
  EXPECT_EQ(platform::moduleFileName(reinterpret_cast<platform::ModuleHandle>(self)), name);
  dlclose(self);
}

TEST(Module, LoadedLibraryNamesItsResolvedFile) {
  platform::DynamicLibrary lib;
  // Loaded through a detour so that the name must be resolved to be right.
  const std::string dir = testing_support::binDir();
  const std::string last = dir.substr(dir.rfind('/') + 1);
  ASSERT_TRUE(lib.open(dir + "/../" + last + "/./libplatform_testlib.so")) << lib.lastError();

  const std::string name = platform::moduleFileName(reinterpret_cast<platform::ModuleHandle>(lib.handle()));
  char real[PATH_MAX];
  ASSERT_NE(realpath(platform_test::testModulePath("platform_testlib").c_str(), real), nullptr);
  EXPECT_EQ(name, platform::toWindowsPath(real));
  EXPECT_TRUE(endsWith(name, "\\libplatform_testlib.so")) << name;
}

TEST(Module, WindowsFolderOf) {
  EXPECT_EQ(platform::windowsFolderOf("C:\\Program Files\\Player\\player.exe"), "C:\\Program Files\\Player");
  EXPECT_EQ(platform::windowsFolderOf("C:\\x.exe"), "C:");
  EXPECT_EQ(platform::windowsFolderOf("x.exe"), "");
  EXPECT_EQ(platform::windowsFolderOf(""), "");
}

}  // namespace
