#include "platform/dynlib.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <utility>

#include "support/temp_dir.h"
#include "unit/platform/test_paths.h"

namespace {

using platform::DynamicLibrary;
using TwicePlusOne = int (*)(int);

TEST(DynamicLibrary, LoadsAndResolvesExportedFunction) {
  const std::string path = platform_test::testModulePath("platform_testlib");
  DynamicLibrary lib;
  ASSERT_TRUE(lib.open(path)) << lib.lastError();
  EXPECT_TRUE(lib.isOpen());
  EXPECT_EQ(lib.path(), path);
  TwicePlusOne fn = nullptr;
  ASSERT_TRUE(lib.resolve(fn, "platform_testlib_twice_plus_one")) << lib.lastError();
  EXPECT_EQ(fn(20), 41);

  EXPECT_FALSE(lib.resolve(fn, "platform_testlib_no_such_function"));
  EXPECT_EQ(fn, nullptr);
  EXPECT_NE(lib.lastError().find("platform_testlib_no_such_function"), std::string::npos) << lib.lastError();
  EXPECT_EQ(lib.symbol(nullptr), nullptr);

  lib.close();
  lib.close();
  EXPECT_FALSE(lib.isOpen());
  EXPECT_TRUE(lib.path().empty());
  EXPECT_EQ(lib.symbol("platform_testlib_twice_plus_one"), nullptr);
  EXPECT_NE(lib.lastError().find("platform_testlib_twice_plus_one"), std::string::npos);
}

TEST(DynamicLibrary, ReportsWhatCannotLoad) {
  DynamicLibrary lib;
  EXPECT_FALSE(lib.open(testing_support::binDir() + "/no-such-library.so"));
  EXPECT_FALSE(lib.isOpen());
  EXPECT_NE(lib.lastError().find("no-such-library.so"), std::string::npos) << lib.lastError();
  // A FIFO in a library's place is refused, not waited on.
  testing_support::TempDir dir;
  ASSERT_EQ(::mkfifo(dir.file("fifo.so").c_str(), 0600), 0);
  EXPECT_FALSE(lib.open(dir.file("fifo.so")));
  EXPECT_NE(lib.lastError().find("not a regular file"), std::string::npos) << lib.lastError();

  // "" would otherwise hand back the main program.
  EXPECT_FALSE(lib.open(""));
  EXPECT_FALSE(lib.isOpen());
  EXPECT_FALSE(lib.lastError().empty());

  // A failed open drops the library held before.
  ASSERT_TRUE(lib.open(platform_test::testModulePath("platform_testlib")));
  EXPECT_FALSE(lib.open(std::string("/lib\0x", 6)));
  EXPECT_FALSE(lib.isOpen());
}

TEST(DynamicLibrary, MovesOwnership) {
  DynamicLibrary a;
  ASSERT_TRUE(a.open(platform_test::testModulePath("platform_testlib")));
  DynamicLibrary b(std::move(a));
  EXPECT_FALSE(a.isOpen());  // NOLINT(bugprone-use-after-move): moved-from state is specified
  ASSERT_TRUE(b.isOpen());

  DynamicLibrary c;
  ASSERT_TRUE(c.open(platform_test::testModulePath("platform_testlib_empty")));
  c = std::move(b);
  EXPECT_FALSE(b.isOpen());  // NOLINT(bugprone-use-after-move)
  TwicePlusOne fn = nullptr;
  ASSERT_TRUE(c.resolve(fn, "platform_testlib_twice_plus_one"));
  EXPECT_EQ(fn(1), 3);
  a.close();  // closing a moved-from library is harmless
}

}  // namespace
