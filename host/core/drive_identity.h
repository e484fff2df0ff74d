#pragma once
// Who a drive is, for the rip log and the offsets file: its vendor and
// model as its inquiry data gives them, and the read offset correction the
// offsets file holds for that model (what cdr.dll applies to a real drive
// without an "offset" of its own). Only real drives have them; cdr.dll
// names those "VENDOR MODEL (/dev/...)". Call on the window thread while
// no copy runs: the inquiry opens the device through libcdio, whose open
// calls share process-wide state with cdr.dll's.
#include <cstdint>
#include <optional>
#include <string>

namespace qomhost {

struct DriveIdentity {
  std::string path;           // the device path in the name, "" for images and simulated drives
  std::string vendor, model;  // "" when unknown
  // "VENDOR MODEL" as cdr.dll keys the offsets file ("" when unknown).
  std::string vendorModel() const;
  std::optional<std::int32_t> offset;  // the offsets file's entry, if any
  std::string offsetProblem;           // why the offsets file could not be read, if so
};

// The device path at the end of a drive's display name ("... (/dev/sr0)"),
// or "".
std::string devicePathOfName(const std::string& name);

// The drive's identity: its device asked for vendor and model, the offsets
// file for its correction.
DriveIdentity identifyDrive(const std::string& name);

}  // namespace qomhost
