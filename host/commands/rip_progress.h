#pragma once
// How `qomhost rip` shows a copy: one line per track while it runs, and
// every track's final status and file at the end.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/core/track_check.h"

namespace qomhost {

// One track being copied as the command shows it.
struct RipTrack {
  std::uint32_t number = 0;
  std::string title;   // Windows-1252
  std::string status;  // the latest status text
  std::string file;    // native path, once written
  std::optional<TrackCheck> check = std::nullopt;  // CRC and verdict, once copied
};

// Draws the progress: redrawn in place on a terminal, one line per change
// otherwise. Goes to stderr with --json, so stdout holds only the JSON.
class RipProgress {
 public:
  RipProgress(std::ostream& stream, bool terminal) : stream_(stream), terminal_(terminal) {}
  // `changed` marks the tracks whose status changed since the last call.
  void show(const std::vector<RipTrack>& tracks, const std::vector<bool>& changed);

 private:
  std::ostream& stream_;
  const bool terminal_;
  bool drawn_ = false;
};

// The final report on stdout: each track's status and file, as text or as
// one JSON object with the drive's name.
void printRipResults(const std::vector<RipTrack>& tracks, const std::string& drive, bool json);

}  // namespace qomhost
