#include "rondel/rip/disc_checks.h"

#include <algorithm>
#include <vector>

namespace rondel {
namespace {

// The track numbers the record describes, clamped to the entries that exist.
bool trackRange(const CdToc& toc, std::uint32_t& first, std::uint32_t& last) {
  first = toc.firstTrack;
  last = std::min<std::uint32_t>(toc.lastTrack, kCdMaxTracks);
  return first >= 1 && first <= last;
}

bool isAudio(const CdTocEntry& entry) { return (entry.control & kCdControlData) == 0; }

}  // namespace

AudioPlace audioPlaceOf(const CdToc& toc, std::uint32_t track) {
  AudioPlace place;
  std::uint32_t first = 0, last = 0;
  if (!trackRange(toc, first, last) || track < first || track > last || !isAudio(toc.entries[track]))
    return place;
  place.audio = true;
  std::uint32_t before = 0, after = 0;
  for (std::uint32_t t = first; t <= last; ++t) {
    if (!isAudio(toc.entries[t])) continue;
    if (t < track) ++before;
    if (t > track) ++after;
  }
  place.index = before;
  place.first = before == 0;
  place.last = after == 0;
  return place;
}

verify::DiscIds accurateRipIdsOf(const CdToc& toc) {
  std::vector<verify::TocEntry> tracks;
  std::uint32_t first = 0, last = 0;
  if (trackRange(toc, first, last))
    for (std::uint32_t t = first; t <= last; ++t) {
      const CdTocEntry& entry = toc.entries[t];
      tracks.push_back({t, entry.startSector, isAudio(entry)});
    }
  const CdTocEntry& leadOut = toc.entries[0];
  return verify::discIds(tracks, leadOut.startSector);
}

}  // namespace rondel
