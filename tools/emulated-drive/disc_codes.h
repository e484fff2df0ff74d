#pragma once
// The codes a disc carries in its Q sub-channel, from the CUE sheet's
// CATALOG line (the media catalogue number) and ISRC lines (per track).
#include <map>
#include <string>

namespace emulated_drive {

struct DiscCodes {
  std::string catalog;                   // 13 digits, or none
  std::map<unsigned, std::string> isrc;  // by track number: 12 capital letters and digits
};

// The codes of the sheet at cuePath; a code that is not well formed is left
// out, as a drive reports no code it cannot read. Read with a stream, not
// open(): the emulation's lock is held.
DiscCodes loadCodes(const std::string& cuePath);

}  // namespace emulated_drive
