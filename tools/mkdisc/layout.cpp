#include "tools/mkdisc/layout.h"

namespace mkdisc {

DiscLayout layOut(const Disc& disc) {
  DiscLayout layout;
  std::uint32_t pos = 0;
  for (std::size_t i = 0; i < disc.tracks.size(); ++i) {
    const Track& t = disc.tracks[i];
    TrackLayout tl;
    tl.number = static_cast<int>(i + 1);
    tl.data = t.data;
    tl.index0 = pos;
    tl.session = t.session;
    if (t.session == 2) layout.firstSessionLeadout = pos;
    pos += t.pregapSectors();
    // A change between data and audio gets the data track's gap, held by
    // the second of the two tracks, the way a mixed-mode disc is mastered.
    if (i > 0 && t.data != disc.tracks[i - 1].data)
      pos += t.data ? t.gapSectors : disc.tracks[i - 1].gapSectors;
    tl.start = pos;
    tl.contentSectors = t.sectors();
    pos += tl.contentSectors;
    layout.tracks.push_back(tl);
  }
  layout.leadout = pos;
  for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
    std::uint32_t next = i + 1 < layout.tracks.size() ? layout.tracks[i + 1].start : layout.leadout;
    if (i + 1 < layout.tracks.size() && layout.tracks[i + 1].session != layout.tracks[i].session)
      next = layout.firstSessionLeadout;
    layout.tracks[i].tocSectors = next - layout.tracks[i].start;
  }
  return layout;
}

SectorPlace placeOf(const Disc& disc, const DiscLayout& layout, std::uint32_t lba) {
  SectorPlace place;
  for (std::size_t i = 0; i < layout.tracks.size(); ++i) {
    const TrackLayout& tl = layout.tracks[i];
    if (!disc.tracks[i].pregap.empty() && lba >= tl.index0 && lba < tl.start) {
      place.track = static_cast<int>(i);
      place.section = -1;
      place.inSection = lba - tl.index0;
      return place;
    }
    if (lba < tl.start || lba >= tl.start + tl.contentSectors) continue;
    place.track = static_cast<int>(i);
    place.inTrack = lba - tl.start;
    std::uint32_t rest = place.inTrack;
    const auto& sections = disc.tracks[i].sections;
    for (std::size_t s = 0; s < sections.size(); ++s) {
      if (rest < sections[s].sectors) {
        place.section = static_cast<int>(s);
        place.inSection = rest;
        break;
      }
      rest -= sections[s].sectors;
    }
    return place;
  }
  return place;
}

}  // namespace mkdisc
