#pragma once
// Building the packed table of contents record from track positions.
#include <cstdint>
#include <string>
#include <vector>

#include "sdk/cdr_api.h"

namespace cdr {

constexpr std::uint32_t kFramesPerSecond = 75;
constexpr std::uint32_t kLeadInSectors = 2 * kFramesPerSecond;  // LBA 0 is 0:02:00
// The longest disc accepted: 100 minutes. Keeps every LBA and byte offset
// derived from outside input far from overflow.
constexpr std::uint32_t kMaxDiscSectors = 100 * 60 * kFramesPerSecond;

struct TrackLayout {
  std::uint32_t start = 0;    // LBA of the first sector
  std::uint32_t sectors = 0;  // length
  bool data = false;
};

struct Msf {
  std::uint32_t minute, second, frame;
};
Msf sectorsToMsf(std::uint32_t sectors);

// "" when the tracks make a disc: numbered firstTrack.. up to 99 at most,
// each at least one sector, in LBA order without overlap, ending by
// kMaxDiscSectors. Otherwise why not, naming the track by its number.
std::string checkLayout(const std::vector<TrackLayout>& tracks, std::uint32_t firstTrack = 1);

// The record for a layout checkLayout accepts: tracks firstTrack.. in the
// entries of their numbers, the lead-out (start = end of the last track, no
// length) in entry 0, every other entry zero. False, with toc zeroed, for a
// layout it rejects.
bool buildToc(const std::vector<TrackLayout>& tracks, CdToc& toc, std::uint32_t firstTrack = 1);

// A track as a disc reader (libcdio, from a drive or an image file) reports
// it, before anything about it is trusted.
struct ReportedTrack {
  std::int64_t start = 0;  // LBA
  bool data = false;
};

// Sectors between the last audio track of a first session and the data
// track of a second (lead-out plus lead-in): unreadable as audio.
constexpr std::uint32_t kSessionGapSectors = 11400;

// Turns what a reader reported into a layout: each track runs to the next
// one's start, the last to the lead-out. "" on success; otherwise why the
// report makes no disc (too many or no tracks, starts out of order,
// negative, past the lead-out or beyond 100 minutes), and tracks is empty.
std::string layoutFromReport(std::int64_t firstTrack, const std::vector<ReportedTrack>& reported,
                             std::int64_t leadOut, std::vector<TrackLayout>& tracks);

// On a multi-session disc (Enhanced CD) the last audio track before the
// second session's data track would otherwise take in the gap between the
// sessions; this shortens it by kSessionGapSectors. lastSessionStart is the
// LBA where the last session begins, or a negative number when unknown.
void trimSessionGap(std::vector<TrackLayout>& tracks, std::int64_t lastSessionStart);

// The LBA just past the last track; 0 for no tracks.
std::uint32_t leadOutOf(const std::vector<TrackLayout>& tracks);

}  // namespace cdr
