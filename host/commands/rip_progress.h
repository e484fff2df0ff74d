#pragma once
// How `qomhost rip` shows a copy: one line per track while it runs, and
// every track's final status and file at the end.
#include <cstddef>
#include <cstdint>
#include <functional>
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
  std::string error;   // why the job failed, when the encoder said (UTF-8)
  std::optional<TrackCheck> check = std::nullopt;  // CRC and verdict, once copied
};

// Draws the progress: redrawn in place on a terminal, each line cut to the
// terminal's width; otherwise one plain line per change of a track's status
// (its percentages are one status). Goes to stderr with --json, so stdout
// holds only the JSON.
class RipProgress {
 public:
  // `columns` answers the terminal's width at each redraw (it may change).
  RipProgress(std::ostream& stream, bool terminal, std::function<std::size_t()> columns = nullptr)
      : stream_(stream), terminal_(terminal), columns_(std::move(columns)) {}
  // `changed` marks the tracks whose status changed since the last call.
  void show(const std::vector<RipTrack>& tracks, const std::vector<bool>& changed);

 private:
  std::ostream& stream_;
  const bool terminal_;
  const std::function<std::size_t()> columns_;
  bool drawn_ = false;
  std::vector<std::string> kinds_;  // each track's last status printed, without progress
};

// A UTF-8 line cut to `columns` characters, ending in "…" when cut.
std::string fitToColumns(const std::string& utf8, std::size_t columns);

// The final report on stdout: each track's status and file, as text or as
// one JSON object with the drive's name.
void printRipResults(const std::vector<RipTrack>& tracks, const std::string& drive, bool json);

}  // namespace qomhost
