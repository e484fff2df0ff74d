#pragma once
// Finding a drive's read offset with the AccurateRip database: the disc's
// tracks read at candidate offsets, nearest first, until two of them match
// what the database holds. First each track's sector 450 is compared at
// every candidate (one short read per track), then the candidates that
// matched there are confirmed with whole-track v1/v2 checksums. Reads go
// through a small interface, so the search runs without a drive in tests.
// One thread (the caller's).
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sdk/verify/accuraterip.h"

namespace qomhost {

// The disc's raw audio as the drive delivers it, with whatever correction
// the drive already applies.
class SectorSource {
 public:
  virtual ~SectorSource() = default;
  // Reads `count` (1..26) sectors from `lba` into `out` (count * 2352 bytes).
  // False when the drive refuses.
  virtual bool readSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) = 0;
};

// An audio track of the disc, in disc order.
struct SearchTrack {
  std::uint32_t number = 0;  // as the disc numbers it
  std::uint32_t startLba = 0, sectors = 0;
  bool firstAudio = false, lastAudio = false;
};

// Which audio tracks of `toc` (tracks in order, `leadOut` the disc's), with
// the lengths the checksums use: an audio track ends where the next track
// starts, the last audio track before a second session's data track
// 11400 sectors earlier.
std::vector<SearchTrack> searchTracks(const std::vector<verify::TocEntry>& toc, std::uint32_t leadOut);

struct TrackMatch {
  std::uint32_t number = 0;
  unsigned confidence = 0, total = 0;
  bool v2 = false;
};

struct OffsetSearch {
  enum class Outcome {
    Found,           // `offset` matched on `matches` (two or more tracks, or the only one)
    NothingMatched,  // no candidate matched enough tracks
    EdgeUnreadable,  // the only candidates need samples before the disc's start or past its end
    ReadFailed,      // the drive refused a read (`problem` says where)
  };
  Outcome outcome = Outcome::NothingMatched;
  std::int32_t offset = 0;  // samples on top of what the drive already applies
  std::vector<TrackMatch> matches;
  std::string problem;
};

// Reports what the search does ("sector 450 of track 3", "offset +48,
// track 2") and how far it is, 0..100.
using SearchProgress = std::function<void(const std::string& what, unsigned percent)>;

// Searches -maxOffset..+maxOffset samples. `tracks` from searchTracks;
// `responses` the disc's database file, parsed.
OffsetSearch findReadOffset(SectorSource& source, const std::vector<SearchTrack>& tracks,
                            std::uint32_t leadOut, const std::vector<verify::Response>& responses,
                            std::int32_t maxOffset, const SearchProgress& progress);

}  // namespace qomhost
