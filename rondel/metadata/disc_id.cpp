#include "rondel/metadata/disc_id.h"

namespace rondel {
namespace {

std::uint32_t digitSum(std::uint32_t value) {
  std::uint32_t sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

// Absolute start time of an entry in whole seconds (the drive counts the
// 2-second lead-in). Read by value: the record is packed.
std::uint32_t startSeconds(const CdTocEntry& entry) {
  const std::uint32_t minute = entry.startMinute, second = entry.startSecond;
  return minute * 60 + second;
}

}  // namespace

TocTrackRange tocTracks(const CdToc& toc) {
  const std::uint32_t first = toc.firstTrack, last = toc.lastTrack;
  if (first < 1 || last > kCdMaxTracks || first > last) return {};
  return {first, last};
}

std::uint32_t computeDiscId(const CdToc& toc) {
  const TocTrackRange tracks = tocTracks(toc);
  if (tracks.count() == 0) return 0;
  std::uint32_t n = 0;
  for (std::uint32_t t = tracks.first; t <= tracks.last; ++t) n += digitSum(startSeconds(toc.entries[t]));
  const std::uint32_t playing = startSeconds(toc.entries[0]) - startSeconds(toc.entries[tracks.first]);
  return ((n % 255) << 24) | (playing << 8) | tracks.count();
}

}  // namespace rondel
