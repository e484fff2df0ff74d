#pragma once
// One rip job: the rip of one track, built from a track-list row when a copy
// command runs and copied by value into the queue (every text is the job's
// own copy, so later edits in the window never reach a queued job).
// Building is pure: the caller reads the window and the configuration.
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/cdr_api.h"

namespace rondel {

// The comment every ripped file carries.
constexpr const char* kRipComment = "Encoded with Rondel for Tavlo3 (https://rondel.example.org)";

struct RipJob {
  std::uint32_t trackNumber = 0;
  std::uint32_t startSector = 0;
  std::uint32_t sectorCount = 0;
  bool resync = false;
  std::uint32_t encoderIndex = 0;
  std::uint32_t encoderSetting = 0;
  std::uint32_t deviceIndex = 0;
  std::string outputPath;  // Windows form, at most 260 characters, no extension
  std::string title;
  std::uint32_t tagTrackNumber = 0;
  std::string artist, album, year, genre, comment;
  // What identifies the job's disc: the table of contents the job was built
  // from. Before the job reads, the worker checks that the drive still
  // holds this disc, so a disc swapped while jobs wait is never read at
  // the old ranges.
  CdToc discToc{};
  // The first sector a read for this track may not reach: the end of the
  // last audio track in the unbroken run of audio tracks that starts with
  // this one (a data track or the lead-out follows). start + count when the
  // table of contents says nothing better.
  std::uint32_t readableEndSector = 0;
};

// What one row and the window's fields give a job (Windows-1252 texts).
struct RipJobSource {
  std::uint32_t trackNumber = 0;  // the row's item data
  std::string artist, title;      // the row's Artist and Track columns
  std::string album, year, genre; // the window's fields
};

// The settings a job copies, read when the command runs.
struct RipJobSettings {
  bool resync = false;
  std::string format;     // the "Format" value
  std::uint32_t deviceIndex = 0;
};

// The output folder, "\" and the pattern as one text; a folder of fewer
// than 3 characters is dropped.
std::string joinFolderAndPattern(const std::string& folder, const std::string& pattern);

// Builds the job for one row. Start and length come from the table of
// contents entry of the track number; a number outside 1..99 (which no
// checked record lists) gives an empty range rather than an index past the
// entries. A "Format" that names no format row gives encoder 0, setting 0.
// A folder that names a network share ("\\server\share") gives an empty
// output path: the worker refuses such a job before it reads.
RipJob buildRipJob(const RipJobSource& row, const RipJobSettings& settings, const CdToc& toc,
                   const std::string& folder, const std::string& pattern);

// True when every artist equals the first, ASCII letters compared without
// regard to case ("Copy All" then uses "Output Filename 2", else 3). True
// for one row or none.
bool allArtistsEqual(const std::vector<std::string>& artists);

}  // namespace rondel
