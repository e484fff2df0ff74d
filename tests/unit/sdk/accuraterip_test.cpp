// The copy checksums against an independent computation, the disc identity
// of real published tables of contents, and the strict database-file reader.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "sdk/verify/accuraterip.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace {

using verify::DiscIds;
using verify::Response;
using verify::Status;
using verify::TocEntry;

// Python's zlib and plain integer arithmetic: a second implementation of the
// published definitions, so the two must agree sample for sample.
constexpr const char* kIndependentChecksums = R"PY(
import sys, zlib
data = open(sys.argv[1], 'rb').read()
first, last = sys.argv[2] == '1', sys.argv[3] == '1'
n = len(data) // 4
lo, hi = (2940 if first else 1), (n - 2940 if last else n)
v1 = v2 = 0
for i in range(n):
    pos = i + 1
    if lo <= pos <= hi:
        p = int.from_bytes(data[4*i:4*i+4], 'little') * pos
        v1 = (v1 + (p & 0xffffffff)) & 0xffffffff
        v2 = (v2 + (p & 0xffffffff) + (p >> 32)) & 0xffffffff
print('%08x %08x %08x' % (zlib.crc32(data) & 0xffffffff, v1, v2))
)PY";

std::string madeAudio(std::uint32_t sectors, unsigned seed) {
  std::mt19937 random(seed);
  std::string bytes(sectors * 2352, '\0');
  for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
  return bytes;
}

TEST(TrackChecksums, AgreeWithAnIndependentComputationForEveryTrackPositionAndSplit) {
  REQUIRE_TOOLS("python3");
  testing_support::TempDir dir;
  const std::string script = dir.path() + "/checksums.py", audio = dir.path() + "/track.raw";
  std::ofstream(script) << kIndependentChecksums;
  struct Case {
    std::uint32_t sectors;
    bool first, last;
  };
  // A middle track, a first and a last one, a last track shorter than the
  // 10 sectors the two skipped ends add up to, and a one-track disc of that
  // size, where the skipped ends overlap.
  const std::vector<Case> cases = {{12, false, false}, {12, true, false}, {12, false, true},
                                   {7, false, true},   {9, true, true},   {3, true, false}};
  unsigned seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.sectors) + " sectors, first " + std::to_string(c.first) + ", last " +
                 std::to_string(c.last));
    const std::string bytes = madeAudio(c.sectors, seed++);
    std::ofstream(audio, std::ios::binary) << bytes;
    const auto result = testing_support::runCommand(
        {testing_support::findProgram("python3"), script, audio, c.first ? "1" : "0", c.last ? "1" : "0"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    std::string expected = result.out;
    while (!expected.empty() && expected.back() == '\n') expected.pop_back();

    // Whole, then in awkward pieces that split samples across calls.
    for (std::size_t piece : {bytes.size(), std::size_t{1}, std::size_t{3}, std::size_t{4095}}) {
      verify::TrackChecksums sums(c.sectors * 588, c.first, c.last);
      for (std::size_t at = 0; at < bytes.size(); at += piece)
        sums.add(bytes.data() + at, std::min(piece, bytes.size() - at));
      EXPECT_EQ(verify::hex8(sums.crc32()) + " " + verify::hex8(sums.accurateRipV1()) + " " +
                    verify::hex8(sums.accurateRipV2()),
                expected)
          << "pieces of " << piece;
      EXPECT_EQ(sums.samples(), c.sectors * 588u);
    }
  }
  // Silence sums to zero; the CRC of nothing is zlib's starting value.
  verify::TrackChecksums empty(0, true, true);
  EXPECT_EQ(empty.crc32(), 0u);
  EXPECT_EQ(empty.accurateRipV1(), 0u);

  // The sector-450 checksum is the v1 sum of one sector with positions 1..588.
  const std::string sector = madeAudio(1, 99);
  verify::TrackChecksums oneSector(588, false, false);
  oneSector.add(sector.data(), sector.size());
  EXPECT_EQ(verify::sector450ChecksumOfBytes(reinterpret_cast<const unsigned char*>(sector.data())),
            oneSector.accurateRipV1());
  std::vector<std::int16_t> samples(2 * 588);
  std::memcpy(samples.data(), sector.data(), sector.size());
  EXPECT_EQ(verify::sector450Checksum(samples.data()), oneSector.accurateRipV1());
}

std::vector<Response> oneResponse(const DiscIds& disc, std::uint8_t confidence) {
  Response r{disc.id1, disc.id2, disc.freedb, {}};
  for (std::uint32_t t = 0; t < disc.audioTracks; ++t)
    r.tracks.push_back({confidence, 0x1000u + t, 0x2000u + t});
  return {r};
}

TEST(AccurateRipFile, IsReadWholeOrRefusedAndGivesVerdicts) {
  const DiscIds disc = verify::discIds({{1, 0, true}, {2, 1000, true}, {3, 2500, true}}, 4000);
  ASSERT_EQ(disc.audioTracks, 3u);
  std::vector<Response> pressings = oneResponse(disc, 12);
  Response second = pressings[0];
  for (auto& t : second.tracks) t.checksum += 0x100, t.confidence = 2;
  second.tracks[1].checksum = 0xABCDu;  // a v1 checksum of track 2
  pressings.push_back(second);
  const std::string file = verify::databaseFile(pressings);
  ASSERT_EQ(file.size(), 2u * (13 + 9 * 3));

  std::vector<Response> read;
  std::string problem;
  ASSERT_TRUE(verify::parseDatabaseFile(file, disc, read, &problem)) << problem;
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[1].tracks[2].checksum, 0x1102u);
  EXPECT_EQ(read[0].tracks[2].sector450, 0x2002u);

  // Verdicts: the best match's confidence, the total over pressings.
  auto v = verify::verdictFor(read, 0, 0, 0x1000);
  EXPECT_EQ(verify::verdictText(v), "accurate 12 14 v2");
  v = verify::verdictFor(read, 1, 0xABCD, 0x5555);
  EXPECT_EQ(verify::verdictText(v), "accurate 2 14 v1");
  v = verify::verdictFor(read, 2, 1, 2);
  EXPECT_EQ(verify::verdictText(v), "not_accurate 0 14");
  EXPECT_EQ(verify::verdictText(verify::verdictFor({}, 0, 1, 2)), "not_found");
  // The largest total a file can give (64 KiB of one-track responses, each
  // of confidence 255) still reads back from its text.
  {
    const DiscIds one = verify::discIds({{1, 0, true}}, 1000);
    std::vector<Response> many(verify::kMaxDatabaseFileBytes / (13 + 9), oneResponse(one, 255)[0]);
    std::vector<Response> parsed;
    ASSERT_TRUE(verify::parseDatabaseFile(verify::databaseFile(many), one, parsed, &problem)) << problem;
    const verify::Verdict most = verify::verdictFor(parsed, 0, 0, 0x1000);
    verify::Verdict back;
    EXPECT_TRUE(verify::parseVerdictText(verify::verdictText(most), back)) << verify::verdictText(most);
    EXPECT_EQ(back.total, most.total);
  }
  // A filler entry of confidence 0 matches nothing, even a checksum of 0.
  std::vector<Response> filler = read;
  for (auto& r : filler) r.tracks[0] = {0, 0, 0};
  EXPECT_EQ(verify::verdictText(verify::verdictFor(filler, 0, 0, 0)), "not_accurate 0 0");
  EXPECT_STREQ(verify::statusName(Status::NotChecked), "not_checked");
  for (const char* text : {"accurate 12 14 v2", "accurate 2 14 v1", "not_accurate 0 14", "not_found", "not_checked"}) {
    verify::Verdict back;
    ASSERT_TRUE(verify::parseVerdictText(text, back)) << text;
    EXPECT_EQ(verify::verdictText(back), text);
  }
  for (const char* text : {"", "accurate", "accurate 15 14 v2", "accurate 0 14 v2", "accurate 1 2 v3",
                           "accurate 1 2 v2 x", "not_accurate 3 4", "maybe 1 2 v1", "accurate -1 2 v2"}) {
    verify::Verdict back;
    EXPECT_FALSE(verify::parseVerdictText(text, back)) << text;
  }

  // Refused, never half read.
  DiscIds other = disc;
  other.id2 += 1;
  std::string html = "<html><body>404</body></html>";
  html.resize(file.size(), ' ');
  const std::vector<std::pair<std::string, std::string>> refusals = {
      {"empty", ""},
      {"truncated", file.substr(0, file.size() - 1)},
      {"trailing byte", file + "x"},
      {"HTML", html},
      {"oversized", std::string(40 * (64 * 1024 / 40 + 1), '\x03')},
      {"another disc", verify::databaseFile(oneResponse(other, 1)) + file}};
  for (const auto& [name, body] : refusals) {
    std::vector<Response> out(1);
    std::string why;
    EXPECT_FALSE(verify::parseDatabaseFile(body, disc, out, &why)) << name;
    EXPECT_TRUE(out.empty()) << name;
    EXPECT_FALSE(why.empty()) << name;
  }
  // The right ids under another track count.
  std::string wrongCount = file;
  wrongCount[40] = 2;
  EXPECT_FALSE(verify::parseDatabaseFile(wrongCount, disc, read, &problem));

  // Window texts: hex both ways.
  std::string bytes;
  ASSERT_TRUE(verify::parseHexBytes(verify::hexBytes(file), bytes));
  EXPECT_EQ(bytes, file);
  EXPECT_FALSE(verify::parseHexBytes("abc", bytes));
  EXPECT_FALSE(verify::parseHexBytes("zz", bytes));
  std::uint32_t value = 0;
  EXPECT_TRUE(verify::parseHex8("00ABcdef", value));
  EXPECT_EQ(value, 0xabcdefu);
  EXPECT_FALSE(verify::parseHex8("abcdef", value));
  EXPECT_FALSE(verify::parseHex8("abcdefgh", value));
}

}  // namespace

namespace {

// Tracks from published start sectors (LBA from 0); `data` lists the track
// numbers that hold data.
std::vector<TocEntry> toc(const std::vector<std::uint32_t>& starts, const std::vector<std::uint32_t>& data = {}) {
  std::vector<TocEntry> tracks;
  for (std::uint32_t i = 0; i < starts.size(); ++i)
    tracks.push_back({i + 1, starts[i], std::find(data.begin(), data.end(), i + 1) == data.end()});
  return tracks;
}

std::string fingerprint(const DiscIds& ids) {
  char text[40];
  std::snprintf(text, sizeof text, "%03u-", ids.audioTracks);
  return text + ids.text();
}

TEST(DiscIds, MatchThePublishedIdsOfRealDiscs) {
  // A plain four-track disc (the CDTOC "4+96+2D2B+6256+B327+D84A").
  DiscIds ids = verify::discIds(toc({0, 11413, 25024, 45713}), 55220);
  EXPECT_EQ(fingerprint(ids), "004-0002189a-00087f33-1f02e004");
  EXPECT_EQ(ids.path(), "a/9/8/dBAR-004-0002189a-00087f33-1f02e004.bin");

  // A pre-gap before track 1: it starts at sector 20, not 0 (an EAC log's
  // table of contents, lead-out after its last end sector 232431).
  ids = verify::discIds(toc({20, 27995, 55030, 73782, 88725, 115730, 140640, 156397, 181252}), 232432);
  EXPECT_EQ(fingerprint(ids), "009-00105b83-0077b665-8b0c1b09");
  EXPECT_EQ(ids.path(), "3/8/b/dBAR-009-00105b83-0077b665-8b0c1b09.bin");

  // An Enhanced CD (Recoil, "Liquid"): ten audio tracks, then a data track
  // in a second session; the database names it after the disc's lead-out,
  // with the data track counted only in the freedb id.
  ids = verify::discIds(toc({0, 12617, 40337, 63075, 93260, 117965, 151715, 184190, 215110, 247305, 281585}, {11}),
                        333651);
  EXPECT_EQ(fingerprint(ids), "010-00164419-00b9f6e2-9e11600b");
  EXPECT_EQ(ids.path(), "9/1/4/dBAR-010-00164419-00b9f6e2-9e11600b.bin");

  // Mixed mode, data first ("Mortal Kombat Trilogy"): 28 audio tracks after
  // the game's data track, which counts for the freedb id only.
  const std::vector<std::uint32_t> mixed = {
      0,      66578,  76352,  85813,  93610,  103898, 115916, 124593, 134056, 142766,
      151702, 160570, 169275, 178581, 188309, 196561, 206204, 214695, 223536, 225596,
      226234, 232518, 239297, 239781, 244839, 254114, 259916, 261072, 261524};
  ids = verify::discIds(toc(mixed, {1}), 261826);
  EXPECT_EQ(fingerprint(ids), "028-00517a54-05a845d2-af0da31d");
  EXPECT_EQ(ids.path(), "4/5/a/dBAR-028-00517a54-05a845d2-af0da31d.bin");

  // More discs from published rip logs: their starts, lead-out and the ids
  // the logs name (The Bends starts track 1 at sector 33; an empty id pair
  // marks a log that names only the freedb id: a hidden track before track
  // 1 at sector 50, and an Enhanced CD whose data track starts at 229400).
  struct Published {
    std::vector<std::uint32_t> starts, data;
    std::uint32_t leadout;
    const char* ids;
  };
  const std::vector<Published> published = {
      {{0, 60967, 94967, 119297, 143007}, {}, 199235, "005-00096c01-002aa3e5-430a6005"},
      {{0, 24914, 43461, 60740, 82940, 99850, 114907, 135408}, {}, 149173, "008-000adae1-00473706-5407c408"},
      {{33, 19473, 37938, 57253, 79055, 93230, 110723, 128280, 149013, 164668, 183195, 199918}, {}, 218848,
       "012-0015ff5b-00cc3c27-b00b650c"},
      {{0, 30547, 54185, 72047, 91077, 108860, 140050, 160995, 180085, 245190}, {}, 265267,
       "010-001492cf-00a6013f-810dd00a"},
      {{0, 24896, 53483, 67821, 82944, 97584, 132195, 150060, 180245, 210216, 239444, 268724, 292200}, {}, 323853,
       "013-00206791-01486a82-a710de0d"},
      {{50, 21157, 39902, 55767, 73797, 92935, 106552, 125790, 142035, 164217, 183960, 206810, 228335}, {}, 230372,
       "c10bff0d"},
      {{0, 14864, 33163, 48873, 65452, 81166, 102231, 116144, 133670, 151143, 168802, 190037, 203766, 229400},
       {14}, 261578, "ab0d9f0e"},
  };
  for (const Published& disc : published) {
    ids = verify::discIds(toc(disc.starts, disc.data), disc.leadout);
    const std::string expected = disc.ids;
    EXPECT_EQ(expected.size() == 8 ? verify::hex8(ids.freedb) : fingerprint(ids), expected);
  }

  // No audio at all: no ids and no path; hostile numbers only wrap.
  EXPECT_EQ(verify::discIds(toc({0}, {1}), 1000).path(), "");
  EXPECT_EQ(verify::discIds({}, 0).audioTracks, 0u);
  ids = verify::discIds(toc({0xFFFFFFF0u, 5, 0xFFFFFFFFu}), 3);
  EXPECT_EQ(ids.audioTracks, 3u);
}

}  // namespace
