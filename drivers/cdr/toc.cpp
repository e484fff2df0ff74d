#include "drivers/cdr/toc.h"

#include <cstring>

namespace cdr {

Msf sectorsToMsf(std::uint32_t sectors) {
  return {sectors / (60 * kFramesPerSecond), (sectors / kFramesPerSecond) % 60,
          sectors % kFramesPerSecond};
}

std::string checkLayout(const std::vector<TrackLayout>& tracks) {
  if (tracks.empty()) return "no tracks";
  if (tracks.size() > kCdMaxTracks) return "more than 99 tracks";
  std::uint64_t end = 0;  // of the previous track
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const std::string which = "track " + std::to_string(i + 1);
    const TrackLayout& t = tracks[i];
    if (t.sectors == 0) return which + " has no sectors";
    if (t.start < end) return which + " starts before the previous track ends";
    end = std::uint64_t{t.start} + t.sectors;
    if (end > kMaxDiscSectors) return which + " ends beyond 100 minutes";
  }
  return {};
}

std::uint32_t leadOutOf(const std::vector<TrackLayout>& tracks) {
  return tracks.empty() ? 0 : tracks.back().start + tracks.back().sectors;
}

bool buildToc(const std::vector<TrackLayout>& tracks, CdToc& toc) {
  std::memset(&toc, 0, sizeof toc);
  if (!checkLayout(tracks).empty()) return false;

  toc.firstTrack = 1;
  toc.lastTrack = static_cast<std::uint32_t>(tracks.size());
  auto fill = [](CdTocEntry& e, std::uint32_t start, std::uint32_t length, bool data) {
    const Msf s = sectorsToMsf(start + kLeadInSectors);
    const Msf l = sectorsToMsf(length);
    e.control = data ? kCdControlData : 0;
    e.startMinute = s.minute;
    e.startSecond = s.second;
    e.startFrame = s.frame;
    e.startSector = start;
    e.lengthMinute = l.minute;
    e.lengthSecond = l.second;
    e.lengthFrame = l.frame;
    e.lengthSectors = length;
  };
  for (std::size_t i = 0; i < tracks.size(); ++i)
    fill(toc.entries[i + 1], tracks[i].start, tracks[i].sectors, tracks[i].data);
  fill(toc.entries[0], leadOutOf(tracks), 0, false);
  return true;
}

}  // namespace cdr
