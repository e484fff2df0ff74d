// Real-shaped database entries (tests/data/freedb: the features of public
// CDDB test data) served by the real cddb-server and applied through the
// real rondel.qom: slashes inside the artist ("AC/DC / ...", "Disc/Artist /
// DiscTitle"), fields over several lines, no DYEAR, CRLF line ends, Latin-1
// text. Each comes out as a user reads the entry.
#include <cstdlib>

#include "lookup_fixture.h"

using namespace testing_support;
using Strings = std::vector<std::string>;

namespace {

std::string dataFile(const std::string& name) {
  const char* dir = std::getenv("RONDEL_SOURCE_DIR");
  return readFile(std::string(dir != nullptr ? dir : ".") + "/tests/data/freedb/" + name);
}

struct Applied {
  Strings disc;  // the drop-down's items, then artist, album, year and genre
  Strings artists, titles;
};

Applied lookUp(const std::string& file, const std::string& category, int tracks) {
  const std::string text = dataFile(file);
  EXPECT_FALSE(text.empty()) << file;
  DiscLayout disc;
  for (int i = 0; i < tracks; ++i) disc.sectors.push_back(9000 + 750 * i);
  CddbServer server;
  EXPECT_TRUE(server.running());
  server.add(category, disc.discId(), text);
  LookupWindow f(drives({simDrive("SIM", disc.tracksJson())}), server.address());
  EXPECT_TRUE(f.lookUpUntilReady());
  Strings fields = f.items();
  for (const char* field : {"Artist", "Album", "Year", "Genre"}) fields.push_back(f.edit(field).text());
  return {fields, f.column(1), f.column(2)};
}

TEST(RealEntries, ArtistWithASlashAndCrLfLineEnds) {
  ASSERT_NE(dataFile("acdc-back-in-black.xmcd").find("\r\n"), std::string::npos);
  const Applied a = lookUp("acdc-back-in-black.xmcd", "rock", 10);
  EXPECT_EQ(a.disc, (Strings{"AC/DC / Back In Black [rock]", "AC/DC", "Back In Black", "1980", "Hard Rock"}));
  EXPECT_EQ(a.artists, Strings(10, "AC/DC"));
  ASSERT_EQ(a.titles.size(), 10u);
  EXPECT_EQ(a.titles[0], "Hells Bells");
  EXPECT_EQ(a.titles[6], "You Shook Me All Night Long");
  // Two TTITLE9 lines make one title; no CR survives in any field.
  EXPECT_EQ(a.titles[9], "Rock and Roll Ain't Noise Pollution");
  for (const std::string& t : a.titles) EXPECT_EQ(t.find('\r'), std::string::npos) << t;
}

TEST(RealEntries, DiscArtistWithSlashesMultiLineFieldsAndNoYear) {
  const Applied a = lookUp("disc-artist.xmcd", "misc", 5);
  EXPECT_EQ(a.disc, (Strings{"Disc/Artist / DiscTitle [misc]", "Disc/Artist", "DiscTitle", "" /* no DYEAR */,
                             "Test data"}));
  EXPECT_EQ(a.titles, (Strings{"TrackTitle1", "Track/Artist2 / TrackTitle2",
                               "TrackArtist3 cntd. / TrackTitle3", "Track /Title4",
                               "TrackTitle5, continued"}));
}

TEST(RealEntries, Latin1TextArrivesAsTheWindowsCodePage) {
  // Stored as Latin-1 (not UTF-8); the component's texts are Windows-1252.
  const Applied a = lookUp("latin1.xmcd", "misc", 3);
  EXPECT_EQ(a.disc, (Strings{"Bj\xF6rk / Homog\xE9nic [misc]", "Bj\xF6rk", "Homog\xE9nic", "1997", "\xC9lectronique"}));
  EXPECT_EQ(a.titles, (Strings{"J\xF3ga", "Unravel", "Bachelorette \x96 \xC7" "a va"}));
}

}  // namespace
