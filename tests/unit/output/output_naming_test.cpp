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

  // The cut comes after expansion and cleaning and may split a folder name.
  const std::string longAlbum(300, 'a');
  const std::string path =
      expandOutputPath("C:\\\\Music\\<album>\\<track>", 1, "x", longAlbum, "t");
  ASSERT_EQ(path.size(), 260u);
  EXPECT_EQ(path, "C:\\Music\\" + longAlbum.substr(0, 251));
  // A pattern full of tokens whose values hold tokens ends, and stays bounded.
  std::string many;
  for (int i = 0; i < 2000; ++i) many += "<track>";
  EXPECT_EQ(expandOutputPath(many, 1, "a", "b", "<track><track>").size(), 260u);
}

}  // namespace
