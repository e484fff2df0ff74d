#pragma once
// What the outside world reads of Rondel's main window, in one place: the
// lookup names of its controls, the track list's columns, the status texts
// (status line and the tracks' status cells), and the window properties
// through which the window tells whoever reads it what background work
// did. The component writes these values and the host (command line,
// scripts) reads them, so both include this header and neither spells a
// value of its own. Header only: values and pure helpers, no state.
#include <cstdint>
#include <cstdio>
#include <string>

namespace rondel {
namespace window {

// Lookup names of the window's controls (Window::findByName).
constexpr const char* kTopPanel = "Top panel";
constexpr const char* kBottomPanel = "Bottom panel";
constexpr const char* kStatusLine = "Status";
constexpr const char* kTrackList = "Tracks";
constexpr const char* kArtistField = "Artist";
constexpr const char* kAlbumField = "Album";
constexpr const char* kTrackField = "Track";
constexpr const char* kYearField = "Year";
constexpr const char* kGenreField = "Genre";
constexpr const char* kEntriesList = "Entries";
constexpr const char* kPreferencesButton = "Preferences";
constexpr const char* kCopySelectedButton = "Copy Selected";
constexpr const char* kCopyAllButton = "Copy All";
constexpr const char* kCancelButton = "Cancel copying";

// Track list columns. Each row's item data is its track number.
constexpr int kColumnNumber = 0;
constexpr int kColumnArtist = 1;
constexpr int kColumnTrack = 2;
constexpr int kColumnLength = 3;
constexpr int kColumnStatus = 4;

// The status line: what the poll saw of the selected drive, and the lookup.
constexpr const char* kStatusReady = "Ready";
constexpr const char* kStatusNoDisc = "No Disc";
constexpr const char* kStatusNotReady = "Not Ready";
constexpr const char* kStatusReadingToc = "Reading Table Of Contents...";
// The selected drive holds a disc whose table of contents could not be read
// (5 attempts); nothing is listed then, and it stays until the drive's
// state changes.
constexpr const char* kStatusCannotReadDisc = "Cannot Read Disc";
// A lookup runs; the status returns to "Ready" once it has offered its
// entries and applied the first.
constexpr const char* kStatusQuerying = "Querying freedb...";

// A track's status cell: its progress while copying, then the text the job
// ended with. Every failure begins with kStatusErrorPrefix.
constexpr const char* kStatusCopyingFormat = "Copying %i%%...";
constexpr const char* kStatusCopied = "Copied";
constexpr const char* kStatusCancelled = "Cancelled";
constexpr const char* kStatusErrorPrefix = "Error: ";
constexpr const char* kStatusNoThread = "Error: CreateThread() failed!";
constexpr const char* kStatusInitCddaFailed = "Error: InitCDDA() failed!";
constexpr const char* kStatusBeginCddaFailed = "Error: BeginCDDA() failed!";
constexpr const char* kStatusInitCompressFailed = "Error: ACDIInitCompress() failed!";
constexpr const char* kStatusReadFailed = "Error: ReadCDDA() failed!";
constexpr const char* kStatusCompressFailed = "Error: ACDICompress() failed!";
// The drive no longer holds the disc the job was built from (taken out,
// swapped, or another drive chosen): nothing is read or written.
constexpr const char* kStatusDiscChanged = "Error: Disc changed!";
// The job has no output path because "Output Folder" names a network share
// (\\server\share), which the component cannot write to.
constexpr const char* kStatusNetworkFolder = "Error: Output Folder is a network share!";
// The job's output path does not lie under its folder (the "Output Folder"
// and the folders the naming pattern itself names before the first field
// value): nothing is created, read or written.
constexpr const char* kStatusOutsideFolder = "Error: Output path leaves the Output Folder!";
// An earlier job of the same copy wrote a file at the job's path and its
// folders leave no room for a numbered name (" (2)"): nothing is read or
// written, so that file stays.
constexpr const char* kStatusNameTaken = "Error: Another track of this copy has the same file name!";

// "Copying 42%..." for `percent` done.
inline std::string copyingStatus(int percent) {
  char text[32];
  std::snprintf(text, sizeof text, kStatusCopyingFormat, percent);
  return text;
}

// The percentage of a "Copying N%..." status cell; false for any other
// text. Only 0..100 are accepted, so a foreign text cannot pass as progress.
inline bool parseCopyingPercent(const std::string& status, unsigned& percent) {
  static constexpr char kPrefix[] = "Copying ";
  constexpr std::size_t kPrefixLength = sizeof kPrefix - 1;
  if (status.compare(0, kPrefixLength, kPrefix) != 0) return false;
  std::size_t i = kPrefixLength;
  unsigned value = 0;
  while (i < status.size() && i - kPrefixLength < 3 && status[i] >= '0' && status[i] <= '9')
    value = value * 10 + static_cast<unsigned>(status[i++] - '0');
  if (i == kPrefixLength || i >= status.size() || status[i] != '%' || value > 100) return false;
  percent = value;
  return true;
}

// Window properties (Window::property). Numbers are decimal.
// The drive table index of the drive the poll last asked, which is not
// always the one "Device" names.
constexpr const char* kPolledDriveProperty = "drive.polled";
// The last lookup's disc identifier and the query URL it sent ("" without
// a lookup for the disc shown).
constexpr const char* kDiscIdProperty = "freedb.discid";
constexpr const char* kQueryProperty = "freedb.query";
// Why the last lookup found nothing though one should have come (no such
// host, refused, timed out, an HTTP error: the request's own text); "" when
// it worked, found nothing, or has not ended. The status line says "Ready"
// either way.
constexpr const char* kLookupErrorProperty = "freedb.error";
// A listed track's length in sectors (75 a second), as the disc's table of
// contents gives it.
inline std::string trackSectorsProperty(std::uint32_t track) { return "track.sectors." + std::to_string(track); }
// A track's latest status text, kept when its row is gone (a disc pulled,
// an eject at the end), and the Windows-form path of the file written.
inline std::string ripStatusProperty(std::uint32_t track) { return "rip.status." + std::to_string(track); }
inline std::string ripFileProperty(std::uint32_t track) { return "rip.file." + std::to_string(track); }
// Why the track's job failed, beside its status text, when the encoder
// library said why ("cannot create PATH: REASON"); "" otherwise. Cleared
// when the track is queued again.
inline std::string ripErrorProperty(std::uint32_t track) { return "rip.error." + std::to_string(track); }

// What tells whether a copy is right (AccurateRip and the copy's CRC). All
// checksums and ids are 8 lower-case hex digits.
// The disc's AccurateRip ids and database path, set when its table of
// contents is read (lookup on or off); "" with no disc.
constexpr const char* kAccurateRipId1Property = "accuraterip.id1";
constexpr const char* kAccurateRipId2Property = "accuraterip.id2";
constexpr const char* kAccurateRipFreedbProperty = "accuraterip.freedb";
constexpr const char* kAccurateRipPathProperty = "accuraterip.path";
// The database lookup: "" (no disc), "off", "pending", "found",
// "not_found", "failed"; the reason when "failed"; and, when "found", the
// validated database file as lower-case hex ("" otherwise).
constexpr const char* kAccurateRipLookupProperty = "accuraterip.lookup";
constexpr const char* kAccurateRipErrorProperty = "accuraterip.error";
constexpr const char* kAccurateRipFileProperty = "accuraterip.file";
constexpr const char* kLookupOff = "off";
constexpr const char* kLookupPending = "pending";
constexpr const char* kLookupFound = "found";
constexpr const char* kLookupNotFound = "not_found";
constexpr const char* kLookupFailed = "failed";
// A track's copy CRC-32 and AccurateRip v1/v2 checksums: set before its row
// says "Copied", cleared when the row is queued, never set for a cancelled
// or failed track. Its verdict ("accurate C T v2", "not_accurate 0 T",
// "not_found", "not_checked"), set with them and updated when the lookup
// ends after the track was copied.
inline std::string ripCrc32Property(std::uint32_t track) { return "rip.crc32." + std::to_string(track); }
inline std::string ripAccurateRipV1Property(std::uint32_t track) { return "rip.arv1." + std::to_string(track); }
inline std::string ripAccurateRipV2Property(std::uint32_t track) { return "rip.arv2." + std::to_string(track); }
inline std::string ripVerdictProperty(std::uint32_t track) { return "rip.accuraterip." + std::to_string(track); }

}  // namespace window
}  // namespace rondel
