#include "platform/codepage.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

using platform::cp1252ToUtf8;
using platform::utf8ToCp1252;

TEST(CodePage, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);

  // The undefined bytes travel as their C1 controls.
  EXPECT_EQ(cp1252ToUtf8("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  EXPECT_EQ(cp1252ToUtf8("Beyonc\xE9"), "Beyonc\xC3\xA9");
  EXPECT_EQ(cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

// The 0x80..0x9F table checked against the C library's own converter.
TEST(CodePage, HighRangeMatchesSystemTable) {
  iconv_t cd = iconv_open("UTF-8", "CP1252");
  if (cd == reinterpret_cast<iconv_t>(-1)) GTEST_SKIP() << "no CP1252 converter installed";
  for (int b = 0x80; b < 0x100; ++b) {
    if (b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D) continue;
    char in[1] = {static_cast<char>(b)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = 1, outLeft = sizeof out;
    ASSERT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1)) << b;
    EXPECT_EQ(cp1252ToUtf8(std::string(1, static_cast<char>(b))),
              std::string(out, sizeof out - outLeft))
        << "byte 0x" << std::hex << b;
  }
  iconv_close(cd);
}

TEST(CodePage, Utf8OutsideTheCodePageOrMalformedBecomesQuestionMarks) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"\xE2\x82\xAC", "\x80"},         // euro sign
      {"\xC5\xB8", "\x9F"},             // Y with diaeresis
      {"\xC3\xA9", "\xE9"},
      {"\xE4\xB8\xAD", "?"},            // CJK, valid but not in the code page
      {"\xF0\x9F\x8E\xB5", "?"},        // outside the BMP
      {"\xC2\x80", "?"},                // U+0080: 0x80 is the euro sign
      {"\x80", "?"},                    // stray continuation
      {"a\xBF" "b", "a?b"},
      {"\xC0\xAF", "??"},               // overlong '/', C0 never starts a sequence
      {"\xE0\x80\xAF", "???"},          // overlong three-byte form
      {"\xF0\x80\x80\xAF", "????"},     // overlong four-byte form
      {"\xED\xA0\x80", "???"},          // surrogate
      {"\xF4\x90\x80\x80", "????"},     // above U+10FFFF
      {"\xFF\xFE", "??"},
      {"\xC3", "?"},                    // truncated at the end
      {"\xE2\x82", "?"},
      {"\xF0\x9F\x8E", "?"},
      {"\xE2\x82" "A", "?A"},           // truncated by an ASCII byte, which survives
      {"\xC3\xC3\xA9", "?\xE9"},        // truncated by a new lead byte, which survives
      {std::string("\xC3\0", 2), std::string("?\0", 2)},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8ToCp1252(c.in), c.out) << testing::PrintToString(c.in);

  // Well-formed is not the same as representable.
  EXPECT_TRUE(platform::isUtf8(""));
  EXPECT_TRUE(platform::isUtf8("caf\xC3\xA9 \xE4\xB8\xAD\xF0\x9F\x8E\xB5"));
  EXPECT_FALSE(platform::isUtf8("caf\xE9"));  // Windows-1252
  EXPECT_FALSE(platform::isUtf8("ok\xC3"));
  EXPECT_FALSE(platform::isUtf8("\xED\xA0\x80"));
}
