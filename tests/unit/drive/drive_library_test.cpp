// The drive library loader against the fake libraries in
// build/bin/testdrives/<variant>/cdr.dll (see fake_cdr.cpp). The drive state
// is process-wide, so every test starts and ends with CloseDrives().
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/sysinfo.h"
#include "platform/winpath.h"
#include "rondel/drive/cd_drive.h"
#include "rondel/drive/cdr_functions.h"
#include "rondel/drive/drive_library.h"
#include "support/temp_dir.h"

namespace {
using platform::kPlatformWin32Nt;
using platform::kPlatformWin32Windows;

std::string variantDir(const std::string& variant) {
  return testing_support::binDir() + "/testdrives/" + variant;
}
std::string variantLibrary(const std::string& variant) { return variantDir(variant) + "/cdr.dll"; }

// Whether some handle still keeps the file loaded in this process.
bool isLoaded(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  dlclose(handle);
  return true;
}

// The test's own reference to a fake library: keeps that copy loaded across
// the loader's unload and reload, and reads the copy's probes.
class FakeLibrary {
 public:
  enum Mode { kLoad, kAttachToLoaded };
  explicit FakeLibrary(const std::string& variant, Mode mode = kLoad) {
    handle_ = dlopen(variantLibrary(variant).c_str(),
                     RTLD_NOW | RTLD_LOCAL | (mode == kAttachToLoaded ? RTLD_NOLOAD : 0));
    if (handle_ == nullptr) return;
    initializeCalls_ =
        reinterpret_cast<std::uint32_t (*)(std::uint32_t)>(dlsym(handle_, "FakeCdr_InitializeCalls"));
    lastDevice_ = reinterpret_cast<std::int32_t (*)()>(dlsym(handle_, "FakeCdr_LastDevice"));
  }
  ~FakeLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  FakeLibrary(const FakeLibrary&) = delete;
  FakeLibrary& operator=(const FakeLibrary&) = delete;

  bool usable() const { return handle_ != nullptr && initializeCalls_ && lastDevice_; }
  std::uint32_t initializeCalls(std::uint32_t mode) const { return initializeCalls_(mode); }
  std::int32_t lastDevice() const { return lastDevice_(); }
  void* symbol(const char* name) const { return dlsym(handle_, name); }

 private:
  void* handle_ = nullptr;
  std::uint32_t (*initializeCalls_)(std::uint32_t) = nullptr;
  std::int32_t (*lastDevice_)() = nullptr;
};

std::vector<const void*> functionTable(const rondel::CdrFunctions& f) {
  auto p = [](auto fn) { return reinterpret_cast<const void*>(fn); };
  return {p(f.CD_Initialize2),   p(f.CD_GetDeviceCount), p(f.CD_GetDevices),
          p(f.CD_TestUnitReady), p(f.CD_ReadTOC),        p(f.CD_Eject),
          p(f.CD_Load),          p(f.CD_Lock),           p(f.CD_Unlock),
          p(f.CD_GetMaxBuffer),  p(f.CD_AllocateBuffer), p(f.CD_FreeBuffer),
          p(f.CD_ReadCDDA),      p(f.CD_SetSpeed),       p(f.CD_GetSpeed),
          p(f.CD_PrepareCDDA),   p(f.CD_ReadCDText),     p(f.CD_LockVolume),
          p(f.CD_UnlockVolume)};
}

// How many of the 19 function table entries are filled.
long tableFilled() {
  const auto table = functionTable(rondel::cdr());
  return static_cast<long>(table.size()) - std::count(table.begin(), table.end(), nullptr);
}
bool tableEmpty() { return tableFilled() == 0; }
bool tableFull() { return tableFilled() == 19; }

class DriveLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rondel::CloseDrives();
    platform::setSystemPlatformIdForTesting(kPlatformWin32Nt);
  }
  void TearDown() override {
    rondel::CloseDrives();
    platform::setSystemPlatformIdForTesting(std::nullopt);
  }

  // Points the loader at a variant's folder, in Windows form as the
  // component keeps it.
  void useVariant(const std::string& variant) {
    folder_ = platform::toWindowsPath(variantDir(variant));
    ASSERT_FALSE(folder_.empty()) << variantDir(variant);
  }

  // Checks the state after an attempt that must yield no drive.
  static void expectNoDrives(const std::string& variant) {
    EXPECT_EQ(rondel::driveCount(), 0u);
    EXPECT_EQ(rondel::driveAt(0), nullptr);
    EXPECT_EQ(rondel::findDriveByName("Fake A"), -1);
    EXPECT_TRUE(tableEmpty());
    EXPECT_FALSE(isLoaded(variantLibrary(variant))) << "left loaded after failing";
  }

  static constexpr int kFamilies[] = {kPlatformWin32Nt, kPlatformWin32Windows};
  std::string folder_;  // the library folder handed to OpenDrives
};

TEST_F(DriveLibraryTest, OpenDrives_CompleteLibrary_ListsDrivesInLibraryOrderOnEitherFamily) {
  ASSERT_NO_FATAL_FAILURE(useVariant("complete"));
  for (int family : kFamilies) {
    SCOPED_TRACE(family);
    platform::setSystemPlatformIdForTesting(family);
    FakeLibrary fake("complete");
    ASSERT_TRUE(fake.usable());

    ASSERT_EQ(rondel::OpenDrives(folder_), 3u);
    ASSERT_EQ(rondel::driveCount(), 3u);
    const char* names[] = {"Fake A", "Fake B", "Fake C"};
    for (std::uint32_t i = 0; i < 3; ++i) {
      const rondel::CdDrive* drive = rondel::driveAt(i);
      ASSERT_NE(drive, nullptr);
      EXPECT_EQ(drive->name(), names[i]);
      EXPECT_EQ(drive->deviceIndex(), i);
      ASSERT_NE(drive->record(), nullptr);
      EXPECT_EQ(drive->record()->id, 0xA0u + i);
      EXPECT_EQ(rondel::findDriveByName(names[i]), static_cast<int>(i));
      // The device index addresses the record of the same index.
      CdToc toc;
      ASSERT_TRUE(drive->readToc(toc));
      EXPECT_EQ(fake.lastDevice(), static_cast<std::int32_t>(i));
      EXPECT_EQ(toc.firstTrack, 1u);
      EXPECT_EQ(toc.lastTrack, i + 1);
      const std::uint32_t leadOut = toc.entries[0].startSector;  // packed field: copy it out
      EXPECT_EQ(leadOut, 10000u * (i + 1));
      EXPECT_EQ(rondel::cdr().CD_TestUnitReady(drive->deviceIndex()), kCdReady);
      EXPECT_EQ(fake.lastDevice(), static_cast<std::int32_t>(i));
    }
    EXPECT_EQ(rondel::driveAt(3), nullptr);
    EXPECT_EQ(rondel::findDriveByName("Fake"), -1);
    EXPECT_EQ(rondel::findDriveByName("fake b"), -1);
    EXPECT_EQ(rondel::findDriveByName(""), -1);

    // The table points into this very file, and mode 0 sufficed.
    EXPECT_TRUE(tableFull());
    EXPECT_EQ(reinterpret_cast<void*>(rondel::cdr().CD_ReadTOC), fake.symbol("CD_ReadTOC"));
    EXPECT_EQ(reinterpret_cast<void*>(rondel::cdr().CD_UnlockVolume),
              fake.symbol("CD_UnlockVolume"));
    EXPECT_EQ(fake.initializeCalls(kCdAccessDevices), 1u);
    EXPECT_EQ(fake.initializeCalls(kCdAccessDevicesAndImages), 0u);
    EXPECT_EQ(fake.initializeCalls(7), 0u);

    rondel::CloseDrives();
    EXPECT_EQ(rondel::driveCount(), 0u);
    EXPECT_TRUE(tableEmpty());
  }
  EXPECT_FALSE(isLoaded(variantLibrary("complete"))) << "CloseDrives left the library loaded";
}

TEST_F(DriveLibraryTest, OpenDrives_ModeZeroRefusedOnNt_UsesModeOneFromAFreshLoad) {
  ASSERT_NO_FATAL_FAILURE(useVariant("mode1_only"));
  ASSERT_EQ(rondel::OpenDrives(folder_), 3u);
  EXPECT_EQ(rondel::driveAt(0)->name(), "Fake A");
  EXPECT_EQ(rondel::driveAt(2)->name(), "Fake C");
  EXPECT_TRUE(tableFull());
  {
    // The copy serving the drives never saw mode 0: the copy that refused it
    // was unloaded, and the second attempt loaded the file again.
    FakeLibrary loaded("mode1_only", FakeLibrary::kAttachToLoaded);
    ASSERT_TRUE(loaded.usable());
    EXPECT_EQ(loaded.initializeCalls(kCdAccessDevices), 0u);
    EXPECT_EQ(loaded.initializeCalls(kCdAccessDevicesAndImages), 1u);
    CdToc toc;
    EXPECT_TRUE(rondel::driveAt(1)->readToc(toc));
    EXPECT_EQ(loaded.lastDevice(), 1);
  }
  rondel::CloseDrives();

  // Held across both attempts, one copy sees both modes, each once.
  FakeLibrary held("mode1_only");
  ASSERT_TRUE(held.usable());
  ASSERT_EQ(rondel::OpenDrives(folder_), 3u);
  EXPECT_EQ(held.initializeCalls(kCdAccessDevices), 1u);
  EXPECT_EQ(held.initializeCalls(kCdAccessDevicesAndImages), 1u);
}

// Variants whose every attempt yields no drive, and nothing stays loaded:
// a library lacking a name is not even initialised (names are resolved
// before anything is called); mode 1 is tried on NT only (any platform
// answer other than 2 is the other family); absurd_count claims 1'000'000
// devices and owns 3 records, so reading them all would run past its array.
TEST_F(DriveLibraryTest, OpenDrives_LibraryWithoutUsableDevices_YieldsNoDriveOnEitherFamily) {
  struct Case {
    const char* variant;
    std::vector<int> families;
    std::uint32_t modeZeroCalls;
    bool modeOneOnNt;
  };
  const Case cases[] = {
      {"no_set_speed", {kPlatformWin32Nt, kPlatformWin32Windows}, 0, false},
      {"mode1_only", {kPlatformWin32Windows, 0}, 1, false},
      {"zero_devices", {kPlatformWin32Nt, kPlatformWin32Windows}, 1, true},
      {"devices_fail", {kPlatformWin32Nt, kPlatformWin32Windows}, 1, true},
      {"absurd_count", {kPlatformWin32Nt, kPlatformWin32Windows}, 1, true},
  };
  for (const Case& c : cases) {
    ASSERT_NO_FATAL_FAILURE(useVariant(c.variant));
    for (int family : c.families) {
      SCOPED_TRACE(std::string(c.variant) + " on family " + std::to_string(family));
      platform::setSystemPlatformIdForTesting(family);
      {
        FakeLibrary fake(c.variant);
        ASSERT_TRUE(fake.usable());
        EXPECT_EQ(rondel::OpenDrives(folder_), 0u);
        EXPECT_EQ(fake.initializeCalls(kCdAccessDevices), c.modeZeroCalls);
        EXPECT_EQ(fake.initializeCalls(kCdAccessDevicesAndImages),
                  c.modeOneOnNt && family == kPlatformWin32Nt ? 1u : 0u);
      }
      expectNoDrives(c.variant);
    }
  }
}

TEST_F(DriveLibraryTest, DriveName_FillingTheWholeFieldWithoutNul_IsCutAt256Bytes) {
  ASSERT_NO_FATAL_FAILURE(useVariant("long_name"));
  ASSERT_EQ(rondel::OpenDrives(folder_), 3u);
  const std::string full(kCdDeviceNameBytes, 'N');
  EXPECT_EQ(rondel::driveAt(0)->name().size(), kCdDeviceNameBytes);
  EXPECT_EQ(rondel::driveAt(0)->name(), full);
  EXPECT_EQ(rondel::findDriveByName(full), 0);
  // The record after it is untouched and read on its own.
  EXPECT_EQ(rondel::driveAt(1)->name(), "Fake B");
}

TEST_F(DriveLibraryTest, ReadToc_ImplausibleTrackNumbersOrFailedCall_AreRefused) {
  ASSERT_NO_FATAL_FAILURE(useVariant("bad_tocs"));
  ASSERT_EQ(rondel::OpenDrives(folder_), 7u);
  // Device i answers row i of fake_cdr.cpp's kTocCases: first track 0, last
  // track 100, first after last, 99..99, 1..99, success without a record,
  // a plausible record from a failed call.
  const bool accepted[] = {false, false, false, true, true, false, false};
  for (std::uint32_t i = 0; i < 7; ++i) {
    SCOPED_TRACE(i);
    CdToc toc;
    // Stale contents of the caller's record must not pass for an answer.
    std::memset(&toc, 0, sizeof toc);
    toc.firstTrack = 1;
    toc.lastTrack = 10;
    EXPECT_EQ(rondel::driveAt(i)->readToc(toc), accepted[i]);
  }

  CdToc toc{};
  toc.firstTrack = 99;
  toc.lastTrack = 99;
  EXPECT_TRUE(rondel::isTocPlausible(toc));
  toc.firstTrack = 0xFFFFFFFFu;
  EXPECT_FALSE(rondel::isTocPlausible(toc));
  toc.firstTrack = 1;
  toc.lastTrack = 0xFFFFFFFFu;
  EXPECT_FALSE(rondel::isTocPlausible(toc));
}

TEST_F(DriveLibraryTest, OpenDrives_NoLoadableLibraryInFolder_YieldsNoDrive) {
  // No folder at all (an executable path that was too long leaves it empty).
  EXPECT_EQ(rondel::OpenDrives(""), 0u);
  EXPECT_TRUE(tableEmpty());

  // A folder without cdr.dll.
  ASSERT_NO_FATAL_FAILURE(useVariant(""));
  EXPECT_EQ(rondel::OpenDrives(folder_), 0u);

  // A path past the Windows limit, even though it names a real folder.
  std::string longFolder = platform::toWindowsPath(variantDir("complete"));
  while (longFolder.size() + sizeof "\\cdr.dll" - 1 <= platform::kMaxPath) longFolder += "\\.";
  EXPECT_EQ(rondel::OpenDrives(longFolder), 0u);
  EXPECT_FALSE(isLoaded(variantLibrary("complete")));

  // A cdr.dll that is no library.
  const testing_support::TempDir temp;
  temp.write("cdr.dll", "MZ not a library");
  const std::string folder = platform::toWindowsPath(temp.path());
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(rondel::OpenDrives(folder), 0u);
  EXPECT_TRUE(tableEmpty());
}

TEST_F(DriveLibraryTest, OpenDrives_FolderOnAMappedDriveLetter_LoadsThroughTheMapping) {
  platform::setDriveLetter('R', variantDir(""));
  for (const char* folder : {"R:\\complete", "r:/complete/", "R:\\mode1_only\\..\\complete"}) {
    SCOPED_TRACE(folder);
    EXPECT_EQ(rondel::OpenDrives(folder), 3u);
    rondel::CloseDrives();
  }
  platform::resetDriveMapForTesting();
}

TEST_F(DriveLibraryTest, OpenDrives_CalledAgainAndFailing_LeavesNoTraceOfTheFirstLibrary) {
  ASSERT_NO_FATAL_FAILURE(useVariant("complete"));
  ASSERT_EQ(rondel::OpenDrives(folder_), 3u);
  ASSERT_TRUE(isLoaded(variantLibrary("complete")));

  ASSERT_NO_FATAL_FAILURE(useVariant("zero_devices"));
  EXPECT_EQ(rondel::OpenDrives(folder_), 0u);
  expectNoDrives("zero_devices");
  EXPECT_FALSE(isLoaded(variantLibrary("complete")));
}

}  // namespace
