// genreNumber: whole-name matches, ASCII letter case only.
#include "rondel/output/genre_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(GenreTable, GenreNumber_MatchesWholeNamesIgnoringAsciiCaseOnly) {
  ASSERT_EQ(rondel::kGenreNames.size(), 126u);
  struct Case {
    std::string genre;
    int number;
  };
  const Case cases[] = {
      {"Blues", 0},
      {"Rock", 17},
      {"rOcK", 17},
      {"ROCK", 17},
      {"Psychadelic", 67},
      {"Dance Hall", 125},
      {"dance hall", 125},
      {"Rock & Roll", 78},
      {"Psychedelic Rock", 93},
      {"Psychedelic", -1},
      {"Rock ", -1},
      {" Rock", -1},
      {"Roc", -1},
      {"", -1},
      {std::string("Rock\0", 5), -1},
      {"Dance Hall2", -1},
      {"R\xC9"
       "B",
       -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.genre);
    EXPECT_EQ(rondel::genreNumber(c.genre), c.number);
  }
}

}  // namespace
