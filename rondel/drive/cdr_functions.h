#pragma once
// The drive library's function table. Private to rondel/drive: everything
// else reaches a drive through CdDrive (cd_drive.h), whose calls make the
// empty-pointer checks once.
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

// The process-wide function table; valid while driveCount() > 0.
const CdrFunctions& cdr();

}  // namespace rondel
