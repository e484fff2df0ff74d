#pragma once
// The emulated drive's disc: a CUE sheet with one BINARY file of raw 2352-byte
// sectors, as mkdisc writes it. Only what a drive reports is kept: track
// starts (INDEX 01; an INDEX 00 before it is the previous track's, or before
// track 1 a hidden track), data or audio, sessions (`REM SESSION nn` lines),
// and the lead-out after the file's last whole sector.
#include <cstdint>
#include <string>
#include <vector>

namespace emulated_drive {

struct DiscTrack {
  std::uint32_t start = 0;  // LBA of INDEX 01
  bool data = false;
  int session = 1;
  // The earliest INDEX of the track (INDEX 00 when it has one): on a disc
  // of two sessions, where the first session's lead-out is.
  std::uint32_t firstIndex = 0;
};

struct DiscImage {
  std::string bin;  // absolute path of the BINARY file
  std::vector<DiscTrack> tracks;  // track 1 first
  std::uint32_t leadOut = 0;

  int sessions() const { return tracks.empty() ? 1 : tracks.back().session; }
  // The first track of the last session (index into tracks).
  std::size_t lastSessionFirstTrack() const;
  // The sectors between the end of the first session's program area and
  // the start of the second's first track, which a drive cannot read:
  // lead-out, lead-in and pregap. Empty (gapStart == gapEnd) on one session.
  std::uint32_t gapStart() const;
  std::uint32_t gapEnd() const;
};

// Reads the sheet at cuePath. "" on success, otherwise why not.
std::string loadCue(const std::string& cuePath, DiscImage& disc);

}  // namespace emulated_drive
