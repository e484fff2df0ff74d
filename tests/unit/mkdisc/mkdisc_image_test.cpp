// Images made by mkdisc, checked with independent tools: cd-info (libcdio)
// reads the CUE sheet, libdiscid computes the freedb id from what cd-info
// saw, and the audio bytes are read straight from the BIN.
#include <discid/discid.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include <nlohmann/json.hpp>

#include "mkdisc_support.h"
#include "support/cd_info.h"

namespace {

using mkdisc_test::discFile;
using mkdisc_test::mkdisc;
using testing_support::readFile;
using testing_support::TempDir;

constexpr std::size_t kSector = 2352;

struct TocTrack {
  int number;
  std::uint32_t lsn;
  bool data;
  bool operator==(const TocTrack& o) const { return number == o.number && lsn == o.lsn && data == o.data; }
};

struct Toc {
  std::vector<TocTrack> tracks;
  std::uint32_t leadout = 0;
};

std::ostream& operator<<(std::ostream& os, const TocTrack& t) {
  return os << t.number << "@" << t.lsn << (t.data ? "D" : "A");
}

// The table of contents as libcdio reads the CUE sheet.
Toc cdInfoToc(const std::string& cue) {
  Toc toc;
  for (const auto& t : testing_support::cdInfoTracks("--cue-file", cue)) {
    if (t.type == "leadout")
      toc.leadout = t.lsn;
    else
      toc.tracks.push_back({static_cast<int>(t.track), t.lsn, t.type == "data"});
  }
  return toc;
}

// libdiscid's freedb id of a table of contents, every track counted.
std::string libdiscidFreedbId(const Toc& toc) {
  std::unique_ptr<DiscId, void (*)(DiscId*)> d(discid_new(), discid_free);
  int offsets[100] = {};
  offsets[0] = static_cast<int>(toc.leadout + 150);
  for (const TocTrack& t : toc.tracks) offsets[t.number] = static_cast<int>(t.lsn + 150);
  if (!discid_put(d.get(), toc.tracks.front().number, toc.tracks.back().number, offsets)) return "put failed";
  return discid_get_freedb_id(d.get());
}

// KEY=value lines of an entry, continuation lines joined as readers join them.
std::map<std::string, std::string> entryFields(const std::string& entry) {
  std::map<std::string, std::string> fields;
  std::istringstream in(entry);
  std::string line;
  while (std::getline(in, line)) {
    const auto eq = line.find('=');
    if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
    fields[line.substr(0, eq)] += line.substr(eq + 1);
  }
  return fields;
}

struct Made {
  TempDir dir;
  nlohmann::json report;
  std::string cue() const { return report.at("cue").get<std::string>(); }
  std::string binPath() const { return report.at("bin").get<std::string>(); }
  std::string bin() const { return mkdisc_test::readBinary(binPath()); }
};

std::unique_ptr<Made> make(const std::string& name, std::vector<std::string> extra = {}) {
  auto made = std::make_unique<Made>();
  std::vector<std::string> args = {discFile(name), "--out", made->dir.file("image"), "--freedb",
                                   made->dir.file("freedb"), "--json"};
  args.insert(args.end(), extra.begin(), extra.end());
  auto r = mkdisc(args);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  made->report = nlohmann::json::parse(r.out, nullptr, false);
  EXPECT_TRUE(made->report.is_object()) << r.out;
  return made;
}

// One 16-bit sample of the BIN: frame within the sector, channel 0 left.
int sample(const std::string& bin, std::uint32_t lba, std::size_t frame, int channel) {
  const std::size_t at = lba * kSector + frame * 4 + static_cast<std::size_t>(channel) * 2;
  return static_cast<std::int16_t>(static_cast<std::uint8_t>(bin.at(at)) |
                                   static_cast<std::uint8_t>(bin.at(at + 1)) << 8);
}

bool allZero(const std::string& bin, std::uint32_t fromLba, std::uint32_t toLba) {
  for (std::size_t i = fromLba * kSector; i < toLba * kSector; ++i)
    if (bin.at(i) != 0) return false;
  return true;
}

TEST(Mkdisc, ReadyMadeDiscsHaveTheIntendedTocAndFreedbIdAndEntry) {
  // Expected layouts worked out by hand from the descriptions: 75 sectors a
  // second, and 150 sectors of gap where audio and data meet.
  const struct {
    const char* name;
    const char* category;
    std::vector<TocTrack> tracks;
    std::uint32_t leadout;
  } discs[] = {
      {"demo", "misc", {{1, 0, false}, {2, 450, false}, {3, 825, false}, {4, 1125, false}, {5, 1500, false}, {6, 2025, true}}, 2325},
      {"silence-boundary", "newage", {{1, 0, false}, {2, 300, false}, {3, 565, false}, {4, 715, false}}, 905},
      {"data-first", "soundtrack", {{1, 0, true}, {2, 450, false}, {3, 675, false}, {4, 900, false}}, 1125},
      {"exact-single", "misc", {{1, 0, false}}, 301},
  };
  for (const auto& disc : discs) {
    SCOPED_TRACE(disc.name);
    auto made = make(disc.name);
    const Toc toc = cdInfoToc(made->cue());
    EXPECT_EQ(toc.tracks, disc.tracks);
    EXPECT_EQ(toc.leadout, disc.leadout);
    EXPECT_EQ(std::filesystem::file_size(made->binPath()), disc.leadout * kSector);

    const std::string id = libdiscidFreedbId(toc);
    EXPECT_EQ(made->report.at("discid"), id);
    const std::filesystem::path entryPath = made->report.at("entry").get<std::string>();
    EXPECT_EQ(entryPath.filename(), id);
    EXPECT_EQ(entryPath.parent_path().filename(), disc.category);
    EXPECT_EQ(entryPath.parent_path().parent_path(), made->dir.file("freedb"));

    const std::string entry = readFile(entryPath);
    EXPECT_EQ(entry.rfind("# xmcd\n", 0), 0u);
    std::string offsets;
    for (const TocTrack& t : toc.tracks) offsets += "#\t" + std::to_string(t.lsn + 150) + "\n";
    EXPECT_NE(entry.find("# Track frame offsets:\n" + offsets + "#\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("# Disc length: " + std::to_string((toc.leadout + 150) / 75) + " seconds\n"),
              std::string::npos);
    auto fields = entryFields(entry);
    EXPECT_EQ(fields["DISCID"], id);
    EXPECT_NE(fields["DTITLE"].find(" / "), std::string::npos);
    for (std::size_t i = 0; i < toc.tracks.size(); ++i)
      EXPECT_EQ(fields.count("TTITLE" + std::to_string(i)), 1u) << i;
    EXPECT_EQ(fields.count("TTITLE" + std::to_string(toc.tracks.size())), 0u);
    EXPECT_NE(readFile(made->cue()).find("REM DISCID " + id + "\n"), std::string::npos);
  }
}

TEST(Mkdisc, DemoDiscIdFollowsTheFreedbFormulaTextsAreWindows1252_SameSeedSameBytes) {
  auto made = make("demo");
  // Start seconds (offset / 75) 2, 8, 13, 17, 22, 29: digit sums
  // 2+8+4+8+4+11 = 37 = 0x25; playing time 2475/75 - 2 = 31 s = 0x1f; 6 tracks.
  EXPECT_EQ(made->report.at("discid"), "25001f06");
  auto fields = entryFields(readFile(made->report.at("entry").get<std::string>()));
  EXPECT_EQ(fields["DTITLE"], "The Rondel Ensemble / Test Pressings, Vol. 1");
  EXPECT_EQ(fields["DYEAR"], "2024");
  EXPECT_EQ(fields["DGENRE"], "Electronic");
  EXPECT_EQ(fields["TTITLE1"], "What Is This?");
  EXPECT_EQ(fields["TTITLE2"], "Left/Right");
  EXPECT_EQ(fields["TTITLE3"], "Caf\xe9: Cr\xe8me Br\xfbl\xe9\x65");
  // "ō" has no Windows-1252 byte; the long title is split over two lines.
  EXPECT_EQ(fields["TTITLE4"],
            "T?ky? Nights, a very long title that goes on past the seventy-byte line limit");
  const std::string entry = readFile(made->report.at("entry").get<std::string>());
  EXPECT_NE(entry.find("\nTTITLE4=e limit\n"), std::string::npos) << entry;

  // The same seed gives the same bytes, another seed other noise.
  const auto& a = made;
  auto b = make("demo");
  auto c = make("demo", {"--seed", "2"});
  const std::string binA = a->bin(), binB = b->bin(), binC = c->bin();
  EXPECT_TRUE(binA == binB);
  EXPECT_EQ(entry, readFile(b->report.at("entry").get<std::string>()));
  ASSERT_EQ(binA.size(), binC.size());
  // Track 2 is noise: another seed, other samples; the silent end of
  // track 4 and the table of contents stay as they were.
  EXPECT_NE(binA.substr(450 * kSector, 375 * kSector), binC.substr(450 * kSector, 375 * kSector));
  EXPECT_TRUE(allZero(binC, 1425, 1500));
  EXPECT_EQ(a->report.at("discid"), c->report.at("discid"));
}

TEST(Mkdisc, AudioLiesWhereTheDescriptionPutsIt) {
  {
    auto made = make("silence-boundary");
    const std::string bin = made->bin();
    // Track 1 (0..299) ends in 1 s of silence, track 2 (300..) begins with
    // 1 s of it: digital zeros from 225 to 375, tone and noise around them.
    EXPECT_TRUE(allZero(bin, 225, 375));
    EXPECT_FALSE(allZero(bin, 224, 225));
    EXPECT_FALSE(allZero(bin, 375, 376));
    EXPECT_TRUE(allZero(bin, 525, 565 + 150 + 40));  // 40 sectors, track 3, 40 sectors
    EXPECT_FALSE(allZero(bin, 755, 756));
  }
  {
    auto made = make("demo");
    const std::string bin = made->bin();
    int peak = 0;
    for (std::uint32_t lba = 0; lba < 450; ++lba)
      for (std::size_t f = 0; f < 588; f += 7) peak = std::max(peak, std::abs(sample(bin, lba, f, 0)));
    // Two tones at half scale together, plus a floor of a few steps.
    EXPECT_GT(peak, 14000);
    EXPECT_LE(peak, 16384 + 4);
    // Track 3 plays its first tone on the left only, its second on the right.
    for (std::size_t f = 0; f < 588; ++f) {
      EXPECT_EQ(sample(bin, 830, f, 1), 0);
      EXPECT_EQ(sample(bin, 1000, f, 0), 0);
    }
    EXPECT_FALSE(allZero(bin, 830, 831));
    // The gap before the data track is zero; the data track starts with the
    // MODE1 sync pattern and its address 00:29:00 (2025 + 150) in BCD.
    EXPECT_TRUE(allZero(bin, 1875, 2025));
    const std::string head = bin.substr(2025 * kSector, 16);
    EXPECT_EQ(head, std::string("\x00\xff\xff\xff\xff\xff\xff\xff\xff\xff\xff\x00\x00\x29\x00\x01", 16));
  }
}

}  // namespace
