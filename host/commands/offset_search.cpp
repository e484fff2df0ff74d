#include "host/commands/offset_search.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <set>

namespace qomhost {
namespace {

constexpr std::int64_t kSamplesPerSector = verify::kSamplesPerSector;
constexpr std::uint32_t kSectorBytes = 2352;
constexpr std::uint32_t kReadSectors = 26;          // one read at most, as the drive backend reads
constexpr std::uint32_t kCheckedSector = 450;       // the sector the database keeps a checksum of
constexpr std::int64_t kSkippedSamples = verify::kSkippedSamples;  // left out at the disc's start and end
constexpr std::uint32_t kSessionGap = 11400;  // between an Enhanced CD's audio and data sessions

enum class Read { Ok, Edge, Failed };

// Reads the drive's stereo samples [first, first + count) (count * 2 values)
// in pieces; Edge when the range leaves the disc, which the drive cannot
// read.
class SampleReader {
 public:
  SampleReader(SectorSource& source, std::uint32_t leadOut) : source_(source), leadOut_(leadOut) {}

  Read read(std::int64_t first, std::int64_t count, std::int16_t* out, std::string& problem) {
    if (first < 0 || first + count > std::int64_t{leadOut_} * kSamplesPerSector) return Read::Edge;
    while (count > 0) {
      const auto lba = static_cast<std::uint32_t>(first / kSamplesPerSector);
      const std::int64_t skip = first % kSamplesPerSector;
      const std::int64_t wanted = std::min<std::int64_t>(count, kReadSectors * kSamplesPerSector - skip);
      const auto sectors = static_cast<std::uint32_t>((skip + wanted + kSamplesPerSector - 1) / kSamplesPerSector);
      buffer_.resize(std::size_t{sectors} * kSectorBytes);
      if (!source_.readSectors(lba, sectors, buffer_.data())) {
        problem = "the drive could not read sectors " + std::to_string(lba) + " to " +
                  std::to_string(lba + sectors - 1);
        return Read::Failed;
      }
      std::memcpy(out, buffer_.data() + skip * 4, static_cast<std::size_t>(wanted) * 4);
      out += wanted * 2;
      first += wanted;
      count -= wanted;
    }
    return Read::Ok;
  }

 private:
  SectorSource& source_;
  const std::uint32_t leadOut_;
  std::vector<std::uint8_t> buffer_;  // the last piece read; its room is reused
};

// 0, +1, -1, +2, -2, ...
std::vector<std::int32_t> nearestFirst(std::int32_t maxOffset) {
  std::vector<std::int32_t> order{0};
  for (std::int32_t d = 1; d <= maxOffset; ++d) {
    order.push_back(d);
    order.push_back(-d);
  }
  return order;
}

std::string signedText(std::int32_t n) { return (n > 0 ? "+" : "") + std::to_string(n); }

// The database's sector-450 checksums of audio track `index` (0 stands for
// none: a silent sector would match at every offset).
std::set<std::uint32_t> sector450Values(const std::vector<verify::Response>& responses, std::size_t index) {
  std::set<std::uint32_t> values;
  for (const verify::Response& r : responses)
    if (index < r.tracks.size() && r.tracks[index].confidence > 0 && r.tracks[index].sector450 != 0)
      values.insert(r.tracks[index].sector450);
  return values;
}

}  // namespace

std::vector<SearchTrack> searchTracks(const std::vector<verify::TocEntry>& toc, std::uint32_t leadOut) {
  std::vector<SearchTrack> tracks;
  for (std::size_t i = 0; i < toc.size(); ++i) {
    if (!toc[i].audio) continue;
    // An audio track ends where the next starts; the last one before an
    // Enhanced CD's data session ends a session gap earlier.
    std::uint32_t end = i + 1 < toc.size() ? toc[i + 1].startLba : leadOut;
    if (i + 2 == toc.size() && !toc[i + 1].audio && end >= toc[i].startLba + kSessionGap) end -= kSessionGap;
    if (end <= toc[i].startLba) continue;
    tracks.push_back({toc[i].number, toc[i].startLba, end - toc[i].startLba, false, false});
  }
  if (!tracks.empty()) {
    tracks.front().firstAudio = true;
    tracks.back().lastAudio = true;
  }
  return tracks;
}

OffsetSearch findReadOffset(SectorSource& source, const std::vector<SearchTrack>& tracks,
                            std::uint32_t leadOut, const std::vector<verify::Response>& responses,
                            std::int32_t maxOffset, const SearchProgress& progress) {
  OffsetSearch result;
  SampleReader reader(source, leadOut);
  const std::vector<std::int32_t> order = nearestFirst(maxOffset);

  // Step 1: sector 450 of each track at every candidate.
  std::map<std::int32_t, std::vector<std::size_t>> candidates;  // offset -> track indexes
  std::vector<std::int16_t> window;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    const SearchTrack& t = tracks[i];
    progress("sector 450 of track " + std::to_string(t.number),
             static_cast<unsigned>(50 * i / tracks.size()));
    const std::set<std::uint32_t> wanted = sector450Values(responses, i);
    if (wanted.empty() || t.sectors <= kCheckedSector) continue;
    const std::int64_t sector = (std::int64_t{t.startLba} + kCheckedSector) * kSamplesPerSector;
    const std::int64_t from = std::max<std::int64_t>(0, sector - maxOffset);
    const std::int64_t to =
        std::min<std::int64_t>(std::int64_t{leadOut} * kSamplesPerSector, sector + kSamplesPerSector + maxOffset);
    if (to - from < kSamplesPerSector) continue;
    window.assign(static_cast<std::size_t>(to - from) * 2, 0);
    const Read read = reader.read(from, to - from, window.data(), result.problem);
    if (read == Read::Failed) {
      result.outcome = OffsetSearch::Outcome::ReadFailed;
      return result;
    }
    if (read != Read::Ok) continue;
    for (const std::int32_t r : order) {
      const std::int64_t at = sector + r;
      if (at < from || at + kSamplesPerSector > to) continue;
      if (wanted.count(verify::sector450Checksum(window.data() + (at - from) * 2)) != 0)
        candidates[r].push_back(i);
    }
  }

  // Step 2: whole-track checksums at the matched candidates, nearest first.
  std::size_t withEntries = 0;
  for (std::size_t i = 0; i < tracks.size(); ++i) withEntries += sector450Values(responses, i).empty() ? 0 : 1;
  const std::size_t needed = std::min<std::size_t>(2, std::max<std::size_t>(withEntries, 1));
  std::vector<std::int16_t> chunk;
  std::size_t tried = 0;
  bool edgeSeen = false;
  for (const std::int32_t r : order) {
    const auto found = candidates.find(r);
    if (found == candidates.end()) continue;
    ++tried;
    std::vector<TrackMatch> matches;
    std::size_t edges = 0;
    for (const std::size_t i : found->second) {
      const SearchTrack& t = tracks[i];
      progress("offset " + signedText(r) + ", track " + std::to_string(t.number),
               static_cast<unsigned>(50 + 50 * (tried - 1) / candidates.size()));
      const std::int64_t total = std::int64_t{t.sectors} * kSamplesPerSector;
      const std::int64_t base = std::int64_t{t.startLba} * kSamplesPerSector + r;
      // The skipped samples need not be read (they are fed as zeros), so
      // the lead-in and lead-out matter only past them.
      const std::int64_t readFrom = t.firstAudio ? kSkippedSamples - 1 : 0;
      const std::int64_t readTo = t.lastAudio ? total - kSkippedSamples : total;
      if (base + readFrom < 0 || base + readTo > std::int64_t{leadOut} * kSamplesPerSector) {
        ++edges;
        continue;
      }
      verify::TrackChecksums sums(static_cast<std::uint32_t>(total), t.firstAudio, t.lastAudio);
      const std::int64_t step = kReadSectors * kSamplesPerSector;
      bool failed = false;
      for (std::int64_t p = 0; p < total && !failed;) {
        const std::int64_t n = std::min(step, total - p);
        chunk.assign(static_cast<std::size_t>(n) * 2, 0);
        const std::int64_t a = std::max(p, readFrom), b = std::min(p + n, readTo);
        if (b > a)
          failed = reader.read(base + a, b - a, chunk.data() + (a - p) * 2, result.problem) != Read::Ok;
        sums.add(chunk.data(), static_cast<std::size_t>(n) * 4);
        p += n;
      }
      if (failed) {
        result.outcome = OffsetSearch::Outcome::ReadFailed;
        return result;
      }
      if (sums.accurateRipV1() == 0 && sums.accurateRipV2() == 0) continue;  // silence matches anywhere
      const verify::Verdict v =
          verify::verdictFor(responses, static_cast<unsigned>(i), sums.accurateRipV1(), sums.accurateRipV2());
      if (v.status == verify::Status::Accurate) matches.push_back({t.number, v.confidence, v.total, v.v2});
    }
    if (matches.size() >= needed) {
      result.outcome = OffsetSearch::Outcome::Found;
      result.offset = r;
      result.matches = std::move(matches);
      progress("offset " + signedText(r) + " matched", 100);
      return result;
    }
    if (matches.size() + edges >= needed && !edgeSeen) {
      edgeSeen = true;
      result.offset = r;
      result.matches = std::move(matches);
    }
  }
  progress("done", 100);
  result.outcome = edgeSeen ? OffsetSearch::Outcome::EdgeUnreadable : OffsetSearch::Outcome::NothingMatched;
  if (!edgeSeen) result.matches.clear();
  return result;
}

}  // namespace qomhost
