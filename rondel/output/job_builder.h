#pragma once
// Building rip jobs: one per track-list row when a copy command runs, tags
// rendered and output path named. Building is pure: the caller reads the
// window and the settings.
#include <cstdint>
#include <string>
#include <vector>

#include "rondel/rip/rip_job.h"
#include "sdk/cdr_api.h"

namespace rondel {

// The comment every ripped file carries.
constexpr const char* kRipComment = "Encoded with Rondel for Tavlo3 (https://rondel.example.org)";

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
// output path: the worker refuses such a job before it reads. The job's
// output folder is the naming's (NamedOutput::folder).
RipJob buildRipJob(const RipJobSource& row, const RipJobSettings& settings, const CdToc& toc,
                   const std::string& folder, const std::string& pattern);

// Gives the job its tags from its texts: the ID3v2 tag rendered now (left
// empty when nothing renders) and the ID3v1 writer, which holds copies of
// the texts, for the worker to run on a finished ".mp3" file.
void addJobTags(RipJob& job);

// True when every artist equals the first, ASCII letters compared without
// regard to case ("Copy All" then uses "Output Filename 2", else 3). True
// for one row or none.
bool allArtistsEqual(const std::vector<std::string>& artists);

}  // namespace rondel
