#pragma once
// Loading the drive library (cdr.dll) from the library folder, its function
// table, and the drive table. All of it is built once while the component
// is constructed and stays for the component's life.
#include <cstdint>
#include <memory>
#include <vector>

#include "rondel/drive/cd_drive.h"

namespace rondel {

// Tries mode 0 and, when that yields no drive on an NT-family system, mode 1
// (a complete second load). Returns the drive count; 0 means no usable drive
// and that no further drive-library call is made.
std::uint32_t OpenDrives();
// One complete attempt in one access mode: load "<folder>\cdr.dll", resolve
// all 19 names, initialise, list the devices. Every failure unloads and
// yields 0.
std::uint32_t LoadDriveLibrary(std::uint32_t accessMode);

std::uint32_t driveCount();
// Drive i has device index i; null for an index out of range.
CdDrive* driveAt(std::uint32_t index);
// Index of the first drive whose name equals `name` exactly, or -1.
int findDriveByName(const std::string& name);

// Unloads the library and empties the drive table (tests and teardown).
void CloseDrives();

}  // namespace rondel
