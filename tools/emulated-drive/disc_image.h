#pragma once
// The emulated drive's disc: a CUE sheet with one BINARY file of raw 2352-byte
// sectors, as mkdisc writes it. Only what a drive reports is kept: track
// starts (INDEX 01), data or audio, and the lead-out after the file's last
// whole sector.
#include <cstdint>
#include <string>
#include <vector>

namespace emulated_drive {

struct DiscTrack {
  std::uint32_t start = 0;  // LBA of INDEX 01
  bool data = false;
};

struct DiscImage {
  std::string bin;  // absolute path of the BINARY file
  std::vector<DiscTrack> tracks;  // track 1 first
  std::uint32_t leadOut = 0;
};

// Reads the sheet at cuePath. "" on success, otherwise why not.
std::string loadCue(const std::string& cuePath, DiscImage& disc);

}  // namespace emulated_drive
