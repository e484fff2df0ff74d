#pragma once
// What a real drive reports, turned into what the component understands:
// the SCSI sense of TEST UNIT READY into readiness codes, inquiry data into
// a display name. Pure, so both are tested without hardware.
#include <cstdint>
#include <string>
#include <string_view>

namespace cdr {

struct Sense {
  bool present = false;
  std::uint8_t key = 0;   // sense key
  std::uint8_t asc = 0;   // additional sense code
  std::uint8_t ascq = 0;  // its qualifier
};

// Reads fixed-format (response code 0x70/0x71) or descriptor-format
// (0x72/0x73) sense data of count bytes; anything else, or too short, is
// "no sense". Never reads past count.
Sense senseFromBytes(const std::uint8_t* bytes, int count);

enum class Tray { kUnknown, kClosed, kOpen };

// The CD_TestUnitReady answer: 0 when the unit is ready; 7 for no medium
// (sense 2/3A, or a failed test with the tray open); 12 while the drive is
// becoming ready (2/04/01, 2/04/07, 2/3E) or reports a unit attention (a
// medium change or reset, which the next test clears); kNotReady (4)
// otherwise, e.g. a medium it cannot read or a drive that does not answer.
std::int32_t readinessFromDrive(bool unitReady, const Sense& sense, Tray tray);

// "VENDOR MODEL" from inquiry fields, cleaned as below; "" when both are
// blank. The key of the offsets file (read_offset.h).
std::string vendorAndModel(std::string_view vendor, std::string_view model);

// "VENDOR MODEL (/dev/sr0)" from inquiry fields (space-padded, maybe not
// NUL-terminated, maybe hostile: bytes outside printable ASCII become "?",
// a NUL ends a field), or just the path when both fields are blank.
std::string deviceDisplayName(std::string_view vendor, std::string_view model,
                              std::string_view path);

}  // namespace cdr
