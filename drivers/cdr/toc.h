#pragma once
// Building the packed table of contents record from track positions.
#include <cstdint>
#include <string>
#include <vector>

#include "rondel/drive/cdr_api.h"

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

// "" when the tracks make a disc: 1 to 99 tracks, each at least one sector,
// in LBA order without overlap, ending by kMaxDiscSectors. Otherwise why not,
// naming the track by its number.
std::string checkLayout(const std::vector<TrackLayout>& tracks);

// The record for a layout checkLayout accepts: tracks 1..n in entries 1..n,
// the lead-out (start = end of the last track, no length) in entry 0, every
// other entry zero. False, with toc zeroed, for a layout it rejects.
bool buildToc(const std::vector<TrackLayout>& tracks, CdToc& toc);

// The LBA just past the last track; 0 for no tracks.
std::uint32_t leadOutOf(const std::vector<TrackLayout>& tracks);

}  // namespace cdr
