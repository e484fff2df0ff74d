// The read offset search over a made disc read through a drive that
// delivers every sample a fixed number of samples early or late: the
// database is built from the disc's true samples with the shared checksum
// code, so the search must find the drive's offset exactly, nearest first,
// and say why when it cannot.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "host/commands/offset_search.h"

namespace {

constexpr std::int64_t kSamples = 588;

struct MadeDisc {
  std::vector<std::int16_t> samples;  // stereo, interleaved
  std::vector<qomhost::SearchTrack> tracks;
  std::uint32_t leadOut = 0;
};

MadeDisc makeDisc(const std::vector<std::uint32_t>& sectors, unsigned seed) {
  MadeDisc disc;
  std::vector<verify::TocEntry> toc;
  for (std::size_t i = 0; i < sectors.size(); ++i) {
    toc.push_back({static_cast<std::uint32_t>(i + 1), disc.leadOut, true});
    disc.leadOut += sectors[i];
  }
  disc.tracks = qomhost::searchTracks(toc, disc.leadOut);
  std::mt19937 random(seed);
  disc.samples.resize(static_cast<std::size_t>(disc.leadOut * kSamples * 2));
  for (std::int16_t& s : disc.samples) s = static_cast<std::int16_t>(random());
  return disc;
}

// One response holding the disc's true checksums, at `confidence`.
verify::Response databaseOf(const MadeDisc& disc, std::uint8_t confidence) {
  verify::Response response{};
  for (const qomhost::SearchTrack& t : disc.tracks) {
    const std::int16_t* first = disc.samples.data() + t.startLba * kSamples * 2;
    verify::TrackChecksums sums(static_cast<std::uint32_t>(t.sectors * kSamples), t.firstAudio, t.lastAudio);
    sums.add(first, static_cast<std::size_t>(t.sectors * kSamples * 4));
    // A track too short for sector 450 has the checksum of its last sector.
    const std::int64_t sector = std::min<std::int64_t>(450, t.sectors - 1);
    response.tracks.push_back({confidence, sums.accurateRipV2(), verify::sector450Checksum(first + sector * kSamples * 2)});
  }
  return response;
}

// A drive whose correction would be `offset`: asked for sample s it
// delivers the disc's s - offset; zeros outside the disc. Can fail from a
// sector on.
class ShiftedDrive final : public qomhost::SectorSource {
 public:
  ShiftedDrive(const MadeDisc& disc, std::int32_t offset) : disc_(disc), offset_(offset) {}
  bool readSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) override {
    ++reads;
    if (count < 1 || count > 26 || lba + count > disc_.leadOut) return false;
    if (failFrom != 0 && lba + count > failFrom) return false;
    auto* samples = reinterpret_cast<std::int16_t*>(out);
    for (std::int64_t i = 0; i < count * kSamples; ++i) {
      const std::int64_t s = lba * kSamples + i - offset_;
      const bool inside = s >= 0 && s < std::int64_t{disc_.leadOut} * kSamples;
      samples[2 * i] = inside ? disc_.samples[static_cast<std::size_t>(2 * s)] : 0;
      samples[2 * i + 1] = inside ? disc_.samples[static_cast<std::size_t>(2 * s + 1)] : 0;
    }
    return true;
  }
  std::uint32_t failFrom = 0;
  int reads = 0;

 private:
  const MadeDisc& disc_;
  const std::int32_t offset_;
};

qomhost::OffsetSearch search(const MadeDisc& disc, ShiftedDrive& drive, const std::vector<verify::Response>& db) {
  unsigned last = 0;
  bool rising = true;
  auto result = qomhost::findReadOffset(drive, disc.tracks, disc.leadOut, db, 3000,
                                        [&](const std::string&, unsigned percent) {
                                          rising = rising && percent >= last && percent <= 100;
                                          last = percent;
                                        });
  EXPECT_TRUE(rising) << "progress only grows";
  return result;
}

TEST(OffsetSearch, FindsTheDrivesOffsetEitherWayAndConfirmsItOnWholeTracks) {
  const MadeDisc disc = makeDisc({520, 480, 600}, 3);
  const std::vector<verify::Response> db{databaseOf(disc, 9)};
  for (const std::int32_t offset : {48, -700, 0, 2940, -2939}) {
    ShiftedDrive drive(disc, offset);
    const qomhost::OffsetSearch found = search(disc, drive, db);
    ASSERT_EQ(found.outcome, qomhost::OffsetSearch::Outcome::Found) << offset << " " << found.problem;
    EXPECT_EQ(found.offset, offset);
    ASSERT_GE(found.matches.size(), 2u) << offset;
    EXPECT_EQ(found.matches[0].confidence, 9u);
    EXPECT_EQ(found.matches[0].total, 9u);
    EXPECT_TRUE(found.matches[0].v2);
  }
  // Another pressing: nothing matches anywhere.
  const std::vector<verify::Response> other{databaseOf(makeDisc({520, 480, 600}, 4), 5)};
  ShiftedDrive drive(disc, 48);
  EXPECT_EQ(search(disc, drive, other).outcome, qomhost::OffsetSearch::Outcome::NothingMatched);
}

TEST(OffsetSearch, SaysWhenTheOffsetNeedsTheLeadOutOrTheDriveFails) {
  // Two tracks, both at an edge of the disc: +2990 needs 50 samples past
  // the lead-out to confirm the last track, which no drive reads.
  const MadeDisc disc = makeDisc({500, 500}, 5);
  const std::vector<verify::Response> db{databaseOf(disc, 2)};
  ShiftedDrive late(disc, 2990);
  const qomhost::OffsetSearch edge = search(disc, late, db);
  EXPECT_EQ(edge.outcome, qomhost::OffsetSearch::Outcome::EdgeUnreadable);
  EXPECT_EQ(edge.offset, 2990);

  ShiftedDrive failing(disc, 10);
  failing.failFrom = 700;  // the second track's sector 450 cannot be read
  const qomhost::OffsetSearch failed = search(disc, failing, db);
  EXPECT_EQ(failed.outcome, qomhost::OffsetSearch::Outcome::ReadFailed);
  EXPECT_NE(failed.problem.find("could not read sectors"), std::string::npos) << failed.problem;

  // Tracks too short for sector 450 give no candidate, rather than a guess.
  const MadeDisc shortDisc = makeDisc({300, 300}, 6);
  ShiftedDrive shortDrive(shortDisc, 0);
  EXPECT_EQ(search(shortDisc, shortDrive, {databaseOf(shortDisc, 1)}).outcome,
            qomhost::OffsetSearch::Outcome::NothingMatched);
}

TEST(OffsetSearch, TrackLengthsFollowTheEnhancedCdRule) {
  const std::vector<qomhost::SearchTrack> tracks =
      qomhost::searchTracks({{1, 0, false}, {2, 10000, true}, {3, 30000, true}, {4, 60000, false}}, 90000);
  ASSERT_EQ(tracks.size(), 2u) << "data tracks are not searched";
  EXPECT_EQ(tracks[0].number, 2u);
  EXPECT_TRUE(tracks[0].firstAudio);
  EXPECT_EQ(tracks[0].sectors, 20000u);
  EXPECT_TRUE(tracks[1].lastAudio);
  EXPECT_EQ(tracks[1].sectors, 60000u - 11400u - 30000u);
}

}  // namespace
