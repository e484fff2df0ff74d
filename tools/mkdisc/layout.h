#pragma once
// Where each track of a described disc lies on the disc, in sectors from the
// start of the program area (LBA 0 = 00:02:00).
#include <cstdint>
#include <vector>

#include "tools/mkdisc/description.h"

namespace mkdisc {

struct TrackLayout {
  int number = 0;            // 1..99
  bool data = false;
  std::uint32_t index0 = 0;  // start of its pregap; equals start without one
  std::uint32_t start = 0;   // INDEX 01, what the table of contents lists
  std::uint32_t contentSectors = 0;
  // To the next track's start or the lead-out; for the last track of a
  // first session, to that session's lead-out.
  std::uint32_t tocSectors = 0;
  int session = 1;
};

struct DiscLayout {
  std::vector<TrackLayout> tracks;
  std::uint32_t leadout = 0;
  // Where the first session's lead-out starts on a disc of two sessions;
  // 0 on a disc of one.
  std::uint32_t firstSessionLeadout = 0;
};

// What lies at one sector of the image.
struct SectorPlace {
  int track = -1;            // index into Disc::tracks; -1 in a gap
  int section = 0;           // -1 in the track's pregap
  std::uint32_t inSection = 0;
  std::uint32_t inTrack = 0;
};

DiscLayout layOut(const Disc& disc);
SectorPlace placeOf(const Disc& disc, const DiscLayout& layout, std::uint32_t lba);

}  // namespace mkdisc
