#pragma once
// The rip log: one UTF-8 text file beside the files of a copy, saying what
// was read with what and whether each track verified. Written under a
// temporary name and renamed when complete, so a reader sees the whole log
// or none. Pure text building plus one write; safe from any thread.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/core/drive_identity.h"
#include "host/core/track_check.h"

namespace qomhost {

struct RipLog {
  std::string date;  // local time, "2026-12-08 01:52:14 +0000"
  std::string drive;  // UTF-8, as every text below
  DriveIdentity identity;
  bool resync = false;
  std::string format;  // the "Format" value
  // The disc's AccurateRip ids (8 hex digits each), its database path and
  // how the lookup went ("found", "not_found", "failed", "off", ...).
  std::string id1, id2, freedb, databasePath, lookup, lookupError;
  struct Track {
    std::uint32_t number = 0;
    std::string title;
    std::string status;  // the row's final status text
    std::string file;    // native path, "" when none was written
    TrackCheck check;
  };
  std::vector<Track> tracks;
};

// The log's text.
std::string renderRipLog(const RipLog& log);

// The folder the log goes in: the deepest folder holding every file of the
// copy (the album folder of a naming pattern with folders), "" without
// files.
std::string albumFolderOf(const RipLog& log);

// "Rip log <freedb id>.txt" (or "Rip log.txt" without an id).
std::string ripLogFileName(const RipLog& log);

// Writes the log into its album folder. Answers the file's path, or "" with
// `problem` set.
std::string writeRipLog(const RipLog& log, std::string& problem);

// The current local time as the log dates it.
std::string logDate();

}  // namespace qomhost
