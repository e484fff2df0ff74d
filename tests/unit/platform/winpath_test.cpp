#include "platform/winpath.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "support/temp_dir.h"

namespace {

using platform::createFolders;
using platform::setDriveLetter;
using platform::toNativePath;
using platform::toWindowsPath;

// Every case runs with HOME pointing into a fresh temporary folder, no
// QOM_DRIVE_MAP, and no letters left over from other cases.
class WinPath : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(std::filesystem::create_directory(home_));
    unsetenv("QOM_DRIVE_MAP");
    platform::resetDriveMapForTesting();
  }
  void TearDown() override { platform::resetDriveMapForTesting(); }

  testing_support::TempDir dir_;
  const std::string tmp_ = dir_.path(), home_ = dir_.file("home");
  testing_support::ScopedEnv savedHome_{"HOME", home_}, savedMap_{"QOM_DRIVE_MAP", ""};
};

TEST_F(WinPath, MapsDriveRootsAndSeparators) {
  EXPECT_EQ(toNativePath("C:\\My Music\\a.mp3"), home_ + "/My Music/a.mp3");
  EXPECT_EQ(toNativePath("c:/My Music//\\a.mp3"), home_ + "/My Music/a.mp3");
  EXPECT_EQ(toNativePath("C:\\Music\\"), home_ + "/Music");
  EXPECT_EQ(toNativePath("C:\\"), home_);
  EXPECT_EQ(toNativePath("Z:\\etc\\hosts"), "/etc/hosts");
  EXPECT_EQ(toNativePath("z:\\"), "/");
  EXPECT_EQ(toNativePath("C:\\a\\.\\b\\..\\c"), home_ + "/a/c");

  // Without HOME, C: is the account's home folder.
  unsetenv("HOME");
  const passwd* account = getpwuid(getuid());
  ASSERT_NE(account, nullptr);
  EXPECT_EQ(toNativePath("C:\\"), std::filesystem::path(account->pw_dir).lexically_normal().string());
}

TEST_F(WinPath, RefusesPathsThatDoNotMap) {
  for (const char* bad : {"", "C", "C:", "C:Music", "Music\\a.mp3", "\\\\server\\share\\x", "//server/x",
                          "\\..\\x",
                          "\\\\?\\C:\\x", "1:\\x", "Q:\\x", "C:\\..", "C:\\a\\..\\..\\x", "Z:\\..\\etc",
                          "C:\\a\\..\\..\\..\\etc\\passwd", "Z:/../../etc"}) {
    EXPECT_EQ(toNativePath(bad), std::nullopt) << bad;
  }
  EXPECT_EQ(toNativePath(std::string("C:\\a\0b", 6)), std::nullopt);

  const std::string atLimit = "C:\\" + std::string(platform::kMaxPath - 3, 'a');
  EXPECT_EQ(toNativePath(atLimit), home_ + "/" + std::string(platform::kMaxPath - 3, 'a'));
  EXPECT_EQ(toNativePath(atLimit + "a"), std::nullopt);
}

TEST_F(WinPath, RootFormStartsAtTheWorkingDirectorysDrive) {
  // "\a" is the root of the current drive: C: (the home folder) from a
  // folder below it, Z: (/) from anywhere else.
  const std::filesystem::path saved = std::filesystem::current_path();
  std::filesystem::create_directory(home_ + "/work");
  std::filesystem::current_path(home_ + "/work");
  EXPECT_EQ(toNativePath("\\Music\\a.mp3"), home_ + "/Music/a.mp3");
  EXPECT_EQ(toNativePath("\\"), home_);
  std::filesystem::current_path(tmp_);
  EXPECT_EQ(toNativePath("/tmp\\a"), "/tmp/a");
  std::filesystem::current_path(saved);
}

TEST_F(WinPath, CodePageNamesBecomeUtf8AndBack) {
  EXPECT_EQ(toNativePath("C:\\Beyonc\xE9\\\x80uro"), home_ + "/Beyonc\xC3\xA9/\xE2\x82\xACuro");
  EXPECT_EQ(toWindowsPath(home_ + "/Beyonc\xC3\xA9/\xE2\x82\xACuro"), "C:\\Beyonc\xE9\\\x80uro");
  EXPECT_EQ(toWindowsPath(home_ + "/\xE4\xB8\xAD.mp3"), "C:\\?.mp3");
  EXPECT_EQ(toWindowsPath(home_ + "/a\\b"), "C:\\a?b");
}

TEST_F(WinPath, ReverseMappingPicksTheLongestRootOnAFolderBoundary) {
  EXPECT_EQ(toWindowsPath(home_), "C:\\");
  EXPECT_EQ(toWindowsPath(home_ + "/"), "C:\\");
  EXPECT_EQ(toWindowsPath(home_ + "//x/./y"), "C:\\x\\y");
  std::string sibling = "Z:" + tmp_ + "/homex/y";  // shares HOME's text, not its folder
  for (char& c : sibling) c = c == '/' ? '\\' : c;
  EXPECT_EQ(toWindowsPath(home_ + "x/y"), sibling);
  EXPECT_EQ(toWindowsPath("/"), "Z:\\");
  EXPECT_EQ(toWindowsPath("/etc/hosts"), "Z:\\etc\\hosts");
  EXPECT_EQ(toWindowsPath("relative/path"), "");
  EXPECT_EQ(toWindowsPath(""), "");

  setDriveLetter('D', home_ + "/music/");
  EXPECT_EQ(toWindowsPath(home_ + "/music/a.mp3"), "D:\\a.mp3");
  EXPECT_EQ(toWindowsPath(home_ + "/musical"), "C:\\musical");

  // A root reached through a symbolic link still matches the resolved path.
  const std::string link = tmp_ + "/link";
  ASSERT_EQ(symlink(home_.c_str(), link.c_str()), 0);
  setenv("HOME", link.c_str(), 1);
  EXPECT_EQ(toWindowsPath(home_ + "/x"), "C:\\x");
  EXPECT_EQ(toWindowsPath(link + "/x"), "C:\\x");
}

TEST_F(WinPath, DriveMapFromEnvironmentSkipsJunk) {
  setenv("QOM_DRIVE_MAP",
         ";;junk;=;D=/srv/music;E=relative; f = /media/usb/ ;GG=/x;1=/y;H=;I/z;J==/j;k=/first;K=/second",
         1);
  platform::resetDriveMapForTesting();
  EXPECT_EQ(toNativePath("D:\\a"), "/srv/music/a");
  EXPECT_EQ(toNativePath("E:\\a"), std::nullopt);
  EXPECT_EQ(toNativePath("F:\\a"), "/media/usb/a");
  for (const char* unmapped : {"G:\\a", "H:\\a", "I:\\a", "J:\\a"}) {
    EXPECT_EQ(toNativePath(unmapped), std::nullopt) << unmapped;
  }
  EXPECT_EQ(toNativePath("K:\\a"), "/second/a");
  EXPECT_EQ(toWindowsPath("/srv/music/a"), "D:\\a");

  // Read once: later changes to the variable do not count.
  setenv("QOM_DRIVE_MAP", "D=/other", 1);
  EXPECT_EQ(toNativePath("D:\\a"), "/srv/music/a");
  // setDriveLetter wins over the variable, even when the variable is read after it.
  platform::resetDriveMapForTesting();
  setDriveLetter('d', "/mine");
  EXPECT_EQ(toNativePath("D:\\a"), "/mine/a");
}

TEST_F(WinPath, SetDriveLetterMapsAndRemoves) {
  setDriveLetter('m', tmp_);
  EXPECT_EQ(toNativePath("M:\\x"), tmp_ + "/x");
  setDriveLetter('M', "relative");  // ignored
  EXPECT_EQ(toNativePath("m:\\x"), tmp_ + "/x");
  setDriveLetter('M', "");
  EXPECT_EQ(toNativePath("M:\\x"), std::nullopt);
  setDriveLetter('1', "/x");
  EXPECT_EQ(toNativePath("1:\\x"), std::nullopt);

  setDriveLetter('Z', "");
  EXPECT_EQ(toNativePath("Z:\\etc"), std::nullopt);
  EXPECT_EQ(toWindowsPath("/etc"), "");
}

TEST_F(WinPath, CreateFoldersMakesEveryMissingLevel) {
  setDriveLetter('T', tmp_);
  EXPECT_TRUE(createFolders("T:\\a\\b\\c"));
  EXPECT_TRUE(std::filesystem::is_directory(tmp_ + "/a/b/c"));
  EXPECT_TRUE(createFolders("T:\\a\\b\\c\\"));  // already there
  EXPECT_TRUE(createFolders("T:\\"));

  EXPECT_TRUE(createFolders("T:\\Beyonc\xE9\\4"));
  EXPECT_TRUE(std::filesystem::is_directory(tmp_ + "/Beyonc\xC3\xA9/4"));

  std::ofstream(tmp_ + "/file") << "x";
  EXPECT_FALSE(createFolders("T:\\file"));
  EXPECT_FALSE(createFolders("T:\\file\\sub"));
  EXPECT_FALSE(createFolders("Q:\\x"));
  EXPECT_FALSE(createFolders("T:\\..\\escape"));
  EXPECT_FALSE(std::filesystem::exists(tmp_ + "/../escape"));

  // A drive whose root is missing is not conjured up.
  setDriveLetter('U', tmp_ + "/absent");
  EXPECT_FALSE(createFolders("U:\\x"));
  EXPECT_FALSE(std::filesystem::exists(tmp_ + "/absent"));
}

}  // namespace
