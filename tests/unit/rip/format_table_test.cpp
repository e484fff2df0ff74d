// The format table and FindFormat: the two rows, letter case, and the
// answer for a label that is not there.
#include "rondel/rip/format_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FormatTable, FindFormat_ComparesWholeLabelsIgnoringAsciiCase) {
  ASSERT_EQ(rondel::kFormatTable.size(), 2u);
  struct Case {
    std::string label;
    bool found;
    std::uint32_t index, setting;
  };
  const Case cases[] = {
      {"1: MPEG Layer-3 [.mp3] - 112 kbit/s", true, 0, 8},
      {"2: Ogg Vorbis [.ogg] - 112 kbit/s", true, 1, 6},
      {"2: ogg vorbis [.ogg] - 112 kbit/s", true, 1, 6},
      {"1: MPEG LAYER-3 [.MP3] - 112 KBIT/S", true, 0, 8},
      {"", false, 0, 0},
      {"2: Ogg Vorbis [.ogg] - 112 kbit/s ", false, 0, 0},
      {"2: Ogg Vorbis [.ogg] - 112 kbit/", false, 0, 0},
      {std::string("2: Ogg Vorbis [.ogg] - 112 kbit/s\0x", 35), false, 0, 0},
      {"3: FLAC", false, 0, 0},
      {"2: Ogg Vorbis [.\xEFgg] - 112 kbit/s", false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::uint32_t index = 99, setting = 99;
    EXPECT_EQ(rondel::FindFormat(c.label, index, setting), c.found);
    EXPECT_EQ(index, c.index);
    EXPECT_EQ(setting, c.setting);
  }
}

}  // namespace
