// Fields of a database entry, including the cases that break naive parsers.
#include <gtest/gtest.h>

#include "rondel/metadata/entry_fields.h"

namespace rondel {
namespace {

TEST(EntryFields, FieldValues) {
  const std::string entry =
      "210 rock 07010002 CD database entry follows\r\n"
      "DTITLE=Artist / Album\r\n"
      "TTITLE0=first half\r\n"
      "TTITLE1=One\r\n"
      "TTITLE10=Ten\r\n"
      "TTITLE0=second half\r\n"
      "DYEAR=1999\n"
      "EXTD=a\\nb\r\n"
      "DGENRE=Rock";
  EXPECT_EQ(getEntryField(entry, "TTITLE0="), "first halfsecond half");
  EXPECT_EQ(parseTrackTitle(entry, 1), "One");  // never found inside TTITLE10=
  EXPECT_EQ(parseTrackTitle(entry, 10), "Ten");
  EXPECT_EQ(parseTrackTitle(entry, 2), "");
  EXPECT_EQ(parseYear(entry), "1999");
  EXPECT_EQ(getEntryField(entry, "EXTD="), "a\\nb");  // no escapes decoded
  EXPECT_EQ(parseGenre(entry), "Rock");               // the value may end the text
  // Text shorter than (or as long as) the key; a key at the very end.
  EXPECT_EQ(getEntryField("DYE", "DYEAR="), "");
  EXPECT_EQ(getEntryField("DYEAR=", "DYEAR="), "");
  EXPECT_EQ(getEntryField("x DYEAR=", "DYEAR="), "");
  EXPECT_EQ(getEntryField("abc", ""), "");
  // Not anchored to a line start: the plain byte search finds it anywhere.
  EXPECT_EQ(getEntryField("#DYEAR=7\n", "DYEAR="), "7");
  EXPECT_EQ(getEntryField("dyear=7\n", "DYEAR="), "");
}

TEST(EntryFields, ArtistAndAlbumSplitAtTheFirstSpacedSlash) {
  struct Case {
    const char* dtitle;
    const char* artist;
    const char* album;
  } cases[] = {
      {"Artist / Album", "Artist", "Album"}, {"Artist/Album", "Artist", "Album"},
      {"A/B / C", "A/B", "C"},               {"Only", "Only", "Only"},
      {"Artist / ", "Artist", ""},           {"/Album", "", "Album"},
      {"A //  B  ", "A", "B  "},             {"", "", ""},
      // The database's separator is " / ": the first one splits.
      {"AC/DC / Back In Black", "AC/DC", "Back In Black"},
      {"Disc/Artist / DiscTitle", "Disc/Artist", "DiscTitle"},
      {"Artist / Album / Part 2", "Artist", "Album / Part 2"},
      {"Artist  /  Album", "Artist", "Album"},
      {" / Album", "", "Album"},
      // Without " / ", the first "/" as before.
      {"AC/DC", "AC", "DC"},                 {"A/ B", "A", "B"},
  };
  for (const Case& c : cases) {
    const std::string entry = std::string("DTITLE=") + c.dtitle + "\r\nDYEAR=1\r\n";
    EXPECT_EQ(parseArtist(entry), c.artist) << c.dtitle;
    EXPECT_EQ(parseAlbum(entry), c.album) << c.dtitle;
  }
  EXPECT_EQ(parseArtist("TTITLE0=x\n"), "");  // no DTITLE line
  // A long DTITLE continued on a second line splits on the joined value.
  EXPECT_EQ(parseAlbum("DTITLE=Some Artist / Long \nDTITLE=Album Name\n"), "Long Album Name");
}

}  // namespace
}  // namespace rondel
