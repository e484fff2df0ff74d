#include "rondel/drive/drive_library.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/dynlib.h"
#include "platform/sysinfo.h"
#include "platform/winpath.h"
#include "rondel/drive/cdr_functions.h"
#include "rondel/shell/library_folder.h"

namespace rondel {
namespace {

constexpr std::uint32_t kMaxDrives = 64;

// Built once on the constructing thread, read-only afterwards.
struct DriveLibraryState {
  platform::DynamicLibrary library;
  CdrFunctions functions;
  std::vector<std::unique_ptr<CdDrive>> drives;

  void unload() {
    drives.clear();
    functions = CdrFunctions{};
    library.close();
  }
};

DriveLibraryState& state() {
  static DriveLibraryState s;
  return s;
}

bool resolveAll(platform::DynamicLibrary& lib, CdrFunctions& f) {
  // Look-up order is part of the contract; a library lacking any name is not
  // used at all, even when the name is one the component never calls.
  return lib.resolve(f.CD_Initialize2, "CD_Initialize2") &&
         lib.resolve(f.CD_GetDeviceCount, "CD_GetDeviceCount") &&
         lib.resolve(f.CD_GetDevices, "CD_GetDevices") &&
         lib.resolve(f.CD_TestUnitReady, "CD_TestUnitReady") &&
         lib.resolve(f.CD_ReadTOC, "CD_ReadTOC") && lib.resolve(f.CD_Eject, "CD_Eject") &&
         lib.resolve(f.CD_Load, "CD_Load") && lib.resolve(f.CD_Lock, "CD_Lock") &&
         lib.resolve(f.CD_Unlock, "CD_Unlock") &&
         lib.resolve(f.CD_GetMaxBuffer, "CD_GetMaxBuffer") &&
         lib.resolve(f.CD_AllocateBuffer, "CD_AllocateBuffer") &&
         lib.resolve(f.CD_FreeBuffer, "CD_FreeBuffer") &&
         lib.resolve(f.CD_ReadCDDA, "CD_ReadCDDA") && lib.resolve(f.CD_SetSpeed, "CD_SetSpeed") &&
         lib.resolve(f.CD_GetSpeed, "CD_GetSpeed") &&
         lib.resolve(f.CD_PrepareCDDA, "CD_PrepareCDDA") &&
         lib.resolve(f.CD_ReadCDText, "CD_ReadCDText") &&
         lib.resolve(f.CD_LockVolume, "CD_LockVolume") &&
         lib.resolve(f.CD_UnlockVolume, "CD_UnlockVolume");
}

// Diagnostics go to stderr only when asked for; the user never sees them.
void debugLog(const char* what, const std::string& detail) {
  static const bool enabled = std::getenv("RONDEL_DEBUG") != nullptr;
  if (enabled) std::fprintf(stderr, "rondel: drive library: %s: %s\n", what, detail.c_str());
}

}  // namespace

std::uint32_t LoadDriveLibrary(std::uint32_t accessMode) {
  DriveLibraryState& s = state();
  s.unload();

  const std::string windowsPath = libraryFolder() + "\\cdr.dll";
  std::optional<std::string> nativePath =
      windowsPath.size() <= platform::kMaxPath ? platform::toNativePath(windowsPath) : std::nullopt;
  if (!nativePath) {
    debugLog("no usable path", windowsPath);
    return 0;
  }
  if (!s.library.open(*nativePath)) {
    debugLog("not loaded", s.library.lastError());
    return 0;
  }
  CdrFunctions f;
  if (!resolveAll(s.library, f)) {
    debugLog("missing export", s.library.lastError());
    s.unload();
    return 0;
  }
  if (f.CD_Initialize2(accessMode, 1) != 0) {
    debugLog("CD_Initialize2 refused mode", std::to_string(accessMode));
    s.unload();
    return 0;
  }
  std::uint32_t count = 0;
  f.CD_GetDeviceCount(&count);
  if (count > kMaxDrives) {
    // A count like that comes from a faulty library; reading that many
    // records would run past its array.
    debugLog("implausible device count", std::to_string(count));
    count = 0;
  }
  if (count == 0) {
    s.unload();
    return 0;
  }
  CdDeviceRecord** records = nullptr;
  if (f.CD_GetDevices(&records) != 0 || records == nullptr) {
    s.unload();
    return 0;
  }
  s.functions = f;
  s.drives.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) s.drives.push_back(std::make_unique<CdDrive>(records[i], i));
  return count;
}

std::uint32_t OpenDrives() {
  std::uint32_t count = LoadDriveLibrary(kCdAccessDevices);
  if (count == 0 && platform::systemPlatformId() == platform::kPlatformWin32Nt)
    count = LoadDriveLibrary(kCdAccessDevicesAndImages);
  return count;
}

const CdrFunctions& cdr() { return state().functions; }

std::uint32_t driveCount() { return static_cast<std::uint32_t>(state().drives.size()); }

CdDrive* driveAt(std::uint32_t index) {
  auto& drives = state().drives;
  return index < drives.size() ? drives[index].get() : nullptr;
}

int findDriveByName(const std::string& name) {
  auto& drives = state().drives;
  for (std::size_t i = 0; i < drives.size(); ++i)
    if (drives[i]->name() == name) return static_cast<int>(i);
  return -1;
}

void CloseDrives() { state().unload(); }

}  // namespace rondel
