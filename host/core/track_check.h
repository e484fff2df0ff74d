#pragma once
// One copied track's checks as the component's window publishes them: the
// copy CRC, the AccurateRip v1/v2 checksums and the verdict against the
// AccurateRip database, parsed from the window's property texts (which
// come from the component and are checked here, never trusted). Pure.
#include <cstdint>
#include <string>
#include <vector>

namespace qomhost {

struct TrackCheck {
  // 8 lower-case hex digits each, or "" when the window has none (a track
  // not copied, or a component without checksums).
  std::string crc32, accurateRipV1, accurateRipV2;
  // "accurate", "not_accurate", "not_found" or "not_checked".
  std::string status = "not_checked";
  unsigned confidence = 0;  // of the best matching response (accurate)
  unsigned total = 0;       // over every response for the track
  bool v2 = false;          // the v2 checksum matched (accurate)

  bool hasChecksums() const { return !crc32.empty(); }
  bool accurate() const { return status == "accurate"; }
};

// From the properties' texts: each checksum must be 8 hex digits (else
// ""), the verdict "accurate C T v1|v2", "not_accurate 0 T", "not_found"
// or "not_checked"; anything else counts as not checked.
TrackCheck parseTrackCheck(const std::string& crc32, const std::string& v1, const std::string& v2,
                           const std::string& verdict);

// "accurate (confidence 12 of 14, v2)", "not accurate", "not in the
// database", "not checked".
std::string verdictText(const TrackCheck& check);

// The copy's verdict over its checked tracks: "All 3 tracks accurate",
// "2 of 3 tracks accurate, 1 not accurate", "Not in the AccurateRip
// database", "Not checked against AccurateRip".
std::string verdictSummary(const std::vector<TrackCheck>& checks);

}  // namespace qomhost
