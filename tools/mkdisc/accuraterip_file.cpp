#include "tools/mkdisc/accuraterip_file.h"

#include <cstring>
#include <vector>

#include "tools/mkdisc/sector_render.h"

namespace mkdisc {
namespace {

constexpr std::uint32_t kOffsetSector = 450;

}  // namespace

verify::DiscIds accurateRipIds(const DiscLayout& layout) {
  std::vector<verify::TocEntry> toc;
  for (const TrackLayout& t : layout.tracks)
    toc.push_back({static_cast<std::uint32_t>(t.number), t.start, !t.data});
  return verify::discIds(toc, layout.leadout);
}

std::string makeAccurateRipFile(const Disc& disc, const DiscLayout& layout, std::uint8_t confidence) {
  const verify::DiscIds ids = accurateRipIds(layout);
  verify::Response response{ids.id1, ids.id2, ids.freedb, {}};
  std::vector<const TrackLayout*> audio;
  for (const TrackLayout& t : layout.tracks)
    if (!t.data) audio.push_back(&t);
  SectorBytes sector;
  for (std::size_t i = 0; i < audio.size(); ++i) {
    const TrackLayout& t = *audio[i];
    verify::TrackChecksums sums(t.tocSectors * verify::kSamplesPerSector, i == 0, i + 1 == audio.size());
    verify::TrackEntry entry{confidence, 0, 0};
    for (std::uint32_t s = 0; s < t.tocSectors; ++s) {
      renderSector(disc, layout, t.start + s, sector);
      sums.add(sector.data(), sector.size());
      if (s == kOffsetSector) {
        std::int16_t samples[2 * verify::kSamplesPerSector];
        std::memcpy(samples, sector.data(), sizeof samples);
        entry.sector450 = verify::sector450Checksum(samples);
      }
    }
    entry.checksum = sums.accurateRipV2();
    response.tracks.push_back(entry);
  }
  return verify::databaseFile({response});
}

}  // namespace mkdisc
