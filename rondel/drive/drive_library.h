#pragma once
// Loading the drive library (cdr.dll) from the library folder, its function
// table, and the drive table. All of it is built once while the component
// is constructed and stays for the component's life.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "rondel/drive/cd_drive.h"
#include "sdk/cdr_api.h"

namespace rondel {

// The library's 19 functions, filled all or nothing.
struct CdrFunctions {
  CD_Initialize2_t CD_Initialize2 = nullptr;
  CD_GetDeviceCount_t CD_GetDeviceCount = nullptr;
  CD_GetDevices_t CD_GetDevices = nullptr;
  CD_TestUnitReady_t CD_TestUnitReady = nullptr;
  CD_ReadTOC_t CD_ReadTOC = nullptr;
  CD_Eject_t CD_Eject = nullptr;
  CD_Load_t CD_Load = nullptr;
  CD_Lock_t CD_Lock = nullptr;
  CD_Unlock_t CD_Unlock = nullptr;
  CD_GetMaxBuffer_t CD_GetMaxBuffer = nullptr;
  CD_AllocateBuffer_t CD_AllocateBuffer = nullptr;
  CD_FreeBuffer_t CD_FreeBuffer = nullptr;
  CD_ReadCDDA_t CD_ReadCDDA = nullptr;
  CD_SetSpeed_t CD_SetSpeed = nullptr;
  CD_GetSpeed_t CD_GetSpeed = nullptr;
  CD_PrepareCDDA_t CD_PrepareCDDA = nullptr;
  CD_ReadCDText_t CD_ReadCDText = nullptr;
  CD_LockVolume_t CD_LockVolume = nullptr;
  CD_UnlockVolume_t CD_UnlockVolume = nullptr;
};

// Loads "<folder>\cdr.dll"; `folder` is the library folder in Windows form
// (the component's executable folder; an empty one loads nothing). Tries
// mode 0 and, when that yields no drive on an NT-family system, mode 1 (a
// complete second load). Returns the drive count; 0 means no usable drive
// and that no further drive-library call is made.
std::uint32_t OpenDrives(const std::string& folder);
// One complete attempt in one access mode: load "<folder>\cdr.dll", resolve
// all 19 names, initialise, list the devices. Every failure unloads, writes
// why to the debug log and yields 0.
std::uint32_t LoadDriveLibrary(const std::string& folder, std::uint32_t accessMode);

// The process-wide function table; valid while driveCount() > 0.
const CdrFunctions& cdr();
std::uint32_t driveCount();
// Drive i has device index i; null for an index out of range.
CdDrive* driveAt(std::uint32_t index);
// Index of the first drive whose name equals `name` exactly, or -1.
int findDriveByName(const std::string& name);

// Unloads the library and empties the drive table (tests and teardown).
void CloseDrives();

}  // namespace rondel
