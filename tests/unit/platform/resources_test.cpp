#include "platform/resources.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "platform/dynlib.h"
#include "unit/platform/test_paths.h"

namespace {

const unsigned char kExeBlob[] = {'e', 'x', 'e', 0, 1};
const platform::ResourceEntry kEntries[] = {
    {platform::kResourceTypeRcData, 1, kExeBlob, sizeof kExeBlob},
    {platform::kResourceTypeRcData, 2, nullptr, 4},  // broken entry
    {99, 3, kExeBlob, 1},
};

std::string text(const platform::ResourceData& r) {
  return std::string(reinterpret_cast<const char*>(r.data), r.size);
}

}  // namespace

QOM_RESOURCE_TABLE({kEntries, sizeof kEntries / sizeof kEntries[0]});

namespace {

using platform::findResource;
using platform::kResourceTypeRcData;
using platform::ModuleHandle;

ModuleHandle handleOf(const platform::DynamicLibrary& lib) {
  return reinterpret_cast<ModuleHandle>(lib.handle());
}

TEST(Resources, FindsEntriesOfTheMainExecutable) {
  const auto found = findResource(0, kResourceTypeRcData, 1);
  ASSERT_TRUE(found);
  EXPECT_EQ(text(found), std::string("exe\0\1", 5));
  EXPECT_TRUE(findResource(0, 99, 3));
  EXPECT_FALSE(findResource(0, 99, 1));                  // id of another type
  const auto broken = findResource(0, kResourceTypeRcData, 2);  // entry without data
  EXPECT_FALSE(broken);
  EXPECT_EQ(broken.size, 0u);
  EXPECT_FALSE(findResource(0, kResourceTypeRcData, 7));  // the test module's id
}

TEST(Resources, FindsEntriesOfALoadedModuleOnly) {
  platform::DynamicLibrary lib;
  ASSERT_TRUE(lib.open(platform_test::testModulePath("platform_testlib"))) << lib.lastError();
  const auto found = findResource(handleOf(lib), kResourceTypeRcData, 7);
  ASSERT_TRUE(found);
  EXPECT_EQ(text(found), "mod");
  EXPECT_FALSE(findResource(handleOf(lib), kResourceTypeRcData, 1));  // the executable's id
  EXPECT_FALSE(findResource(0, kResourceTypeRcData, 7));

  platform::DynamicLibrary empty;
  ASSERT_TRUE(empty.open(platform_test::testModulePath("platform_testlib_empty"))) << empty.lastError();
  EXPECT_FALSE(findResource(handleOf(empty), kResourceTypeRcData, 0));

  // The table of a library the module links against is not the module's.
  platform::DynamicLibrary user;
  ASSERT_TRUE(user.open(platform_test::testModulePath("platform_testlib_user"))) << user.lastError();
  EXPECT_FALSE(findResource(handleOf(user), kResourceTypeRcData, 9));

  // A real library with no table at all.
  void* libm = dlopen("libm.so.6", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(libm, nullptr);
  EXPECT_FALSE(findResource(reinterpret_cast<ModuleHandle>(libm), kResourceTypeRcData, 1));
  dlclose(libm);
}

}  // namespace
