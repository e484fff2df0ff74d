// The query reply: its code and its candidate entries.
#include <gtest/gtest.h>

#include "rondel/metadata/query_reply.h"

namespace rondel {
namespace {

std::string describe(const std::vector<LookupMatch>& matches) {
  std::string text;
  for (const LookupMatch& m : matches) text += m.category + "|" + m.discId + "|" + m.title + ";";
  return text;
}

TEST(QueryReply, Codes) {
  EXPECT_EQ(replyCode("200 rock 1 t"), 200);
  EXPECT_EQ(replyCode("202"), 202);
  EXPECT_EQ(replyCode("20"), -1);
  EXPECT_EQ(replyCode(""), -1);
  EXPECT_EQ(replyCode("2x0 rock"), -1);
  EXPECT_EQ(replyCode("<html>"), -1);
}

TEST(QueryReply, Matches) {
  struct Case {
    const char* reply;
    const char* matches;
  } cases[] = {
      {"200 rock 07010002 Artist / Album\r\n", "rock|07010002|Artist / Album;"},
      {"200 rock 07010002 Title", "rock|07010002|Title;"},
      {"200 rock 07010002\r\nnext line here\r\n", ""},  // never reads past its line
      {"200\r\n", ""},
      {"210 Found exact matches, list follows (until terminating `.')\r\n"
       "rock 07010002 A / B\r\nmisc 07010003 C / D\r\n\r\njazz 07010004 E\r\n.\r\nrock x y\r\n",
       "rock|07010002|A / B;misc|07010003|C / D;jazz|07010004|E;"},
      {"211 Found inexact matches, list follows (until terminating `.')\n"
       "rock 1 T\nnospaces\none space\nfolk 2 U\n",
       "rock|1|T;folk|2|U;"},
      {"210 list\r\n", ""},
      {"210", ""},
      {"202 No match for disc ID 07010002.\r\n", ""},
      {"211 x\r\n.rock 1 T\r\n", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(describe(parseQueryMatches(c.reply)), c.matches) << c.reply;
}

TEST(QueryReply, AtMostThirtyTwoMatches) {
  std::string reply = "210 many\r\n";
  for (int i = 0; i < 1000; ++i) reply += "rock " + std::to_string(i) + " T\r\n";
  const auto matches = parseQueryMatches(reply);
  ASSERT_EQ(matches.size(), kMaxLookupMatches);
  EXPECT_EQ(matches.back().discId, "31");
}

TEST(ReadReply, OnlyTheEntryThatWasAskedFor) {
  const std::string body = "# xmcd\r\n#\r\nDISCID=07010002\r\nDTITLE=A / B\r\n.\r\n";
  const std::string head = "210 rock 07010002 CD database entry follows (until terminating `.')\r\n";
  EXPECT_TRUE(isEntryReply(head + body, "rock", "07010002"));
  EXPECT_TRUE(isEntryReply("210 rock 07010002\n# xmcd\n.\n", "rock", "07010002"));
  EXPECT_TRUE(isEntryReply("210 rock 07010002\r\nDTITLE=A / B\r\n", "rock", "07010002"));
  EXPECT_TRUE(isEntryReply("210 rock 07010002 x\r\n" + body, "rock", "07010002"));
  // The id without regard to case.
  EXPECT_TRUE(isEntryReply("210 rock 07A10002 x\r\n" + body, "rock", "07a10002"));
  // Another code, category or id; a longer id; no header and no DTITLE.
  EXPECT_FALSE(isEntryReply("401 rock 07010002 No such CD entry in database.\r\n", "rock", "07010002"));
  EXPECT_FALSE(isEntryReply("210 jazz 07010002 x\r\n" + body, "rock", "07010002"));
  EXPECT_FALSE(isEntryReply("210 rock 07010003 x\r\n" + body, "rock", "07010002"));
  EXPECT_FALSE(isEntryReply("210 rock 070100022 x\r\n" + body, "rock", "07010002"));
  EXPECT_FALSE(isEntryReply("210 Rock 07010002 x\r\n" + body, "rock", "07010002"));
  EXPECT_FALSE(isEntryReply("210 x\r\n" + body, "rock", "07010002"));
  EXPECT_FALSE(isEntryReply("210 rock 07010002\r\nTTITLE0=x\r\n.\r\n", "rock", "07010002"));
  // The markers count only at a line start.
  EXPECT_FALSE(isEntryReply("210 rock 07010002\r\nX DTITLE=a\r\nX # xmcd\r\n", "rock", "07010002"));
  // Noise after a good first line is no entry.
  EXPECT_FALSE(isEntryReply("210 rock 07010002\r\n\x01\xff\x7f garbage \x80\r\n", "rock", "07010002"));
  EXPECT_FALSE(isEntryReply("", "rock", "07010002"));
  EXPECT_FALSE(isEntryReply(head + body, "", ""));
}

}  // namespace
}  // namespace rondel
