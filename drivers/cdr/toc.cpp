#include "drivers/cdr/toc.h"

#include <cstring>

namespace cdr {

Msf sectorsToMsf(std::uint32_t sectors) {
  return {sectors / (60 * kFramesPerSecond), (sectors / kFramesPerSecond) % 60,
          sectors % kFramesPerSecond};
}

std::string checkLayout(const std::vector<TrackLayout>& tracks, std::uint32_t firstTrack) {
  if (tracks.empty()) return "no tracks";
  if (firstTrack < 1 || firstTrack > kCdMaxTracks) return "first track number out of 1..99";
  if (tracks.size() > kCdMaxTracks - firstTrack + 1) return "track numbers beyond 99";
  std::uint64_t end = 0;  // of the previous track
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const std::string which = "track " + std::to_string(firstTrack + i);
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

bool buildToc(const std::vector<TrackLayout>& tracks, CdToc& toc, std::uint32_t firstTrack) {
  std::memset(&toc, 0, sizeof toc);
  if (!checkLayout(tracks, firstTrack).empty()) return false;

  toc.firstTrack = firstTrack;
  toc.lastTrack = firstTrack + static_cast<std::uint32_t>(tracks.size()) - 1;
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
    fill(toc.entries[firstTrack + i], tracks[i].start, tracks[i].sectors, tracks[i].data);
  fill(toc.entries[0], leadOutOf(tracks), 0, false);
  return true;
}

std::string layoutFromReport(std::int64_t firstTrack, const std::vector<ReportedTrack>& reported,
                             std::int64_t leadOut, std::vector<TrackLayout>& tracks) {
  tracks.clear();
  if (reported.empty()) return "no tracks";
  if (firstTrack < 1 || firstTrack > kCdMaxTracks)
    return "first track number " + std::to_string(firstTrack) + " is not 1..99";
  if (reported.size() > kCdMaxTracks - static_cast<std::size_t>(firstTrack) + 1)
    return std::to_string(reported.size()) + " tracks from track " + std::to_string(firstTrack) +
           " go beyond track 99";
  if (leadOut <= 0 || leadOut > kMaxDiscSectors)
    return "lead-out at sector " + std::to_string(leadOut) + " is outside 1.." +
           std::to_string(kMaxDiscSectors);
  std::vector<TrackLayout> made;
  for (std::size_t i = 0; i < reported.size(); ++i) {
    const std::string which = "track " + std::to_string(firstTrack + static_cast<std::int64_t>(i));
    const std::int64_t start = reported[i].start;
    const std::int64_t next = i + 1 < reported.size() ? reported[i + 1].start : leadOut;
    if (start < 0) return which + " starts at a negative sector";
    if (next <= start)
      return which + " starts at sector " + std::to_string(start) + ", not before " +
             (i + 1 < reported.size() ? "the next track" : "the lead-out") + " (" +
             std::to_string(next) + ")";
    made.push_back({static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(next - start),
                    reported[i].data});
  }
  std::string why = checkLayout(made, static_cast<std::uint32_t>(firstTrack));
  if (why.empty()) tracks = std::move(made);
  return why;
}

void trimSessionGap(std::vector<TrackLayout>& tracks, std::int64_t lastSessionStart) {
  if (lastSessionStart <= 0) return;
  for (std::size_t i = 1; i < tracks.size(); ++i) {
    TrackLayout& before = tracks[i - 1];
    if (tracks[i].start == lastSessionStart && tracks[i].data && !before.data &&
        before.sectors > kSessionGapSectors)
      before.sectors -= kSessionGapSectors;
  }
}

}  // namespace cdr
