// Output paths from naming patterns: the worked examples, the cleaning
// rules that can go wrong, a value holding its own token, the 260 cut.
#include <gtest/gtest.h>

#include <string>

#include "rondel/output/output_naming.h"

namespace {

using rondel::expandOutputPath;

struct Case {
  const char* pattern;
  unsigned track;
  const char* artist;
  const char* album;
  const char* title;
  const char* expected;
};

TEST(OutputNaming, ExpandsAndCleansPatterns) {
  const Case cases[] = {
      // The slash becomes a hyphen; the number has two digits.
      {"C:\\My Audio Files\\<artist> - <album>\\<number>. <track>", 3, "Some/Band", "First Album",
       "Opening", "C:\\My Audio Files\\Some-Band - First Album\\03. Opening"},
      // Empty fields get their fixed words.
      {"C:\\My Audio Files\\<artist> - <track>", 1, "", "", "Intro", "C:\\My Audio Files\\artist - Intro"},
      {"<album>\\<track>", 0, "a", "", "", "album\\track"},
      {"C:\\My Audio Files\\<artist> - <track>", 1, "Unknown Artist", "Unknown Album", "Track 01",
       "C:\\My Audio Files\\Unknown Artist - Track 01"},
      // A trailing question mark is trimmed at the end, kept inside a folder.
      {"C:\\M\\<track>", 1, "a", "b", "Why?", "C:\\M\\Why"},
      {"C:\\M\\<track>\\x", 1, "a", "b", "Why?", "C:\\M\\Why \\x"},
      // A colon and a space give two spaces; only the drive colon stays.
      {"C:\\M\\<track>", 1, "a", "b", "Part 1: Go", "C:\\M\\Part 1  Go"},
      {"C:\\Music\\a:b", 1, "", "", "", "C:\\Music\\a b"},
      {"1:\\x", 1, "", "", "", "1 \\x"},
      {"C:x", 1, "", "", "", "C x"},
      // Runs of backslashes collapse: a share keeps one, C:\ adds none.
      {"\\\\server\\share\\\\<number>", 5, "", "", "", "\\server\\share\\05"},
      // Tokens in any case; other bracketed words are not tokens.
      {"D:\\Rips\\<ARTIST>\\<Number> <other>", 7, "X", "", "", "D:\\Rips\\X\\07  other"},
      {"D:\\<number>", 100, "", "", "", "D:\\100"},
      // Trailing spaces and backslashes go; leading backslashes stay.
      {"\\<track>  \\ ", 1, "", "", "t", "\\t"},
      {"   \\  ", 1, "", "", "", " "},
      {"", 1, "a", "b", "c", ""},
      // A value holding its own token is inserted once; one holding a later
      // token is expanded by that token's pass.
      {"C:\\<track>-<track>", 1, "a", "b", "<track>", "C:\\ track - track"},
      {"C:\\<artist>", 1, "A <album>", "Alb", "t", "C:\\A Alb"},
      {"C:\\<number><artist>", 2, "<number>", "b", "c", "C:\\02 number"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(expandOutputPath(c.pattern, c.track, c.artist, c.album, c.title), c.expected);
  }
}

TEST(OutputNaming, HelpersAndTheLengthLimit) {
  EXPECT_EQ(rondel::findTokenNoCase("ab<TRACK>", "<track>"), 2);
  EXPECT_EQ(rondel::findTokenNoCase("<tr", "<track>"), -1);
  EXPECT_EQ(rondel::findTokenNoCase("", "<track>"), -1);
  EXPECT_EQ(rondel::trimPath(""), "");
  EXPECT_EQ(rondel::trimPath("\\\\"), "\\");

  // A pattern full of tokens whose values hold tokens ends, and stays bounded.
  std::string many;
  for (int i = 0; i < 2000; ++i) many += "<track>";
  EXPECT_LE(expandOutputPath(many, 1, "a", "b", "<track><track>").size(), 256u);
}

TEST(OutputNaming, ValuesNeverClimbOutOfTheirFolder) {
  const Case cases[] = {
      // A title's "\" still makes folders, but its ".." are names, not climbs.
      {"C:\\Music\\<artist> - <album>\\<number>. <track>", 1, "Art", "Alb",
       "a\\..\\..\\..\\..\\ESCAPED", "C:\\Music\\Art - Alb\\01. a\\__\\__\\__\\__\\ESCAPED"},
      // Only dots and spaces: each dot becomes "_"; other names keep theirs.
      {"C:\\M\\<artist>\\<track>", 1, "..", "", ". .", "C:\\M\\__\\_ _"},
      {"C:\\M\\<artist>\\<track>", 1, ".", "", "...x", "C:\\M\\_\\...x"},
      // The pattern's own dots, made names by a value's "\".
      {"C:\\M\\.<track>.", 1, "", "", "\\", "C:\\M\\_\\_"},
      // The user's own ".." and control characters stay as written.
      {"C:\\M\\..\\<track>", 1, "", "", "t", "C:\\M\\..\\t"},
      {"C:\\M\x01\\<track>", 1, "", "", "t", "C:\\M\x01\\t"},
      // Control characters in values become spaces (NUL too).
      {"C:\\M\\<track>", 1, "", "", "Bell\x07Tab\tDel\x7f" "End\x1f", "C:\\M\\Bell Tab Del End"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(expandOutputPath(c.pattern, c.track, c.artist, c.album, c.title), c.expected);
  }
  EXPECT_EQ(expandOutputPath("C:\\M\\<track>", 1, "", "", std::string("a\0b", 3)), "C:\\M\\a b");

  // The folder the path must stay under: the user's text before the first
  // name a value touches (the whole folder of a path without values).
  EXPECT_EQ(rondel::nameOutputPath("C:\\M\\..\\R\\<artist>x\\<track>", 1, "a", "", "t").folder,
            "C:\\M\\..\\R\\");
  EXPECT_EQ(rondel::nameOutputPath("C:\\M\\x<artist>\\<track>", 1, "\\a", "", "t").folder, "C:\\M\\");
  EXPECT_EQ(rondel::nameOutputPath("C:\\M\\fixed", 1, "", "", "").folder, "C:\\M\\");
  EXPECT_EQ(rondel::nameOutputPath("\\<track>", 1, "", "", "t").folder, "\\");
  // A title that cleans away leaves the path at the folder itself, which
  // does not lie under the folder: the worker refuses it.
  const rondel::NamedOutput gone = rondel::nameOutputPath("C:\\M\\<track>", 1, "", "", "?");
  EXPECT_EQ(gone.path + "|" + gone.folder, "C:\\M|C:\\M\\");
}

TEST(OutputNaming, LongPathsShortenTheValueFoldersLongestFirst) {
  // Long folders give until 80 characters are left for the file name, the
  // same cut for every track whatever its title; the name stays whole and
  // the path leaves room for a 4-character extension.
  const std::string album(230, 'B');
  for (const char* title : {"One", "A title of forty characters, more or le"}) {
    const std::string path = expandOutputPath(
        "C:\\My Audio Files\\<artist> - <album>\\<number>. <track>", 5, "Art", album, title);
    EXPECT_EQ(path, "C:\\My Audio Files\\Art - " + album.substr(0, 151) + "\\05. " + title);
  }
  // The longest value folder gives first, until the others are as short;
  // the first of those cut keep one character more where it fits.
  const std::string a(200, 'A');
  const auto threeNames = [](const std::string& artist, const std::string& album, const std::string& title) {
    return expandOutputPath("C:\\<artist>\\<album>\\<track>", 1, artist, album, title);
  };
  EXPECT_EQ(threeNames(a, std::string(40, 'B'), "t"), "C:\\" + a.substr(0, 131) + "\\" + std::string(40, 'B') + "\\t");
  EXPECT_EQ(threeNames(a, std::string(180, 'B'), "t"), "C:\\" + a.substr(0, 86) + "\\" + std::string(85, 'B') + "\\t");
  // A file name longer than the rest is cut at its end.
  EXPECT_EQ(threeNames(a, "", std::string(200, 'T')), "C:\\" + a.substr(0, 166) + "\\album\\" + std::string(80, 'T'));
  // A cut never leaves a dot-only name or trailing spaces behind: fifty
  // folders "..x" cut to three or two characters ("__").
  std::string folders, expected = "C:";
  for (int i = 0; i < 50; ++i) {
    folders += "..x\\";
    expected += i < 23 ? "\\..x" : "\\__";
  }
  EXPECT_EQ(expandOutputPath("C:\\<artist>\\<track>", 1, folders, "", "t"), expected + "\\t");
  EXPECT_EQ(expandOutputPath("C:\\<album>\\<track>", 1, "", std::string(170, 'x') + "   yyy", "t"),
            "C:\\" + std::string(170, 'x') + "\\t");
  // A name holds at most 255 bytes in UTF-8, the file name 251 (with the
  // extension): Windows-1252 letters take two.
  EXPECT_EQ(expandOutputPath("C:\\M\\<track>", 1, "", "", std::string(300, '\xE9')),
            "C:\\M\\" + std::string(125, '\xE9'));
  // The user's own folder is never shortened while a value can give.
  const std::string own = "C:\\" + std::string(190, 'F');
  EXPECT_EQ(expandOutputPath(own + "\\<album>\\<track>", 1, "", "Alb", "Title"), own + "\\A\\Title");
}

}  // namespace
