// The disc identifier against libdiscid's freedb id, and the request texts.
#include <discid/discid.h>
#include <gtest/gtest.h>

#include <random>

#include "rondel/metadata/disc_id.h"
#include "rondel/metadata/lookup_urls.h"
#include "unit/metadata/toc_maker.h"

namespace rondel {
namespace {

using metadata_test::makeToc;

TEST(DiscId, MatchesLibdiscidOverGeneratedDiscs) {
  std::mt19937 random(20261206);
  DiscId* disc = discid_new();
  ASSERT_NE(disc, nullptr);
  for (int round = 0; round < 500; ++round) {
    const int count = std::uniform_int_distribution<int>(1, 99)(random);
    std::vector<std::uint32_t> starts;
    std::vector<std::uint32_t> data;
    // A first track that does not start at 0 happens (hidden pre-gap).
    std::uint32_t sector = std::uniform_int_distribution<std::uint32_t>(0, 3000)(random);
    for (int t = 1; t <= count; ++t) {
      starts.push_back(sector);
      if (std::uniform_int_distribution<int>(0, 9)(random) == 0) data.push_back(t);
      // Up to about 80 minutes in all, which libdiscid accepts.
      sector += std::uniform_int_distribution<std::uint32_t>(4, 355000 / count)(random);
    }
    const CdToc toc = makeToc(starts, sector, data);
    int offsets[100] = {};
    offsets[0] = static_cast<int>(sector + 150);
    for (int t = 1; t <= count; ++t) offsets[t] = static_cast<int>(starts[t - 1] + 150);
    ASSERT_EQ(discid_put(disc, 1, count, offsets), 1) << discid_get_error_msg(disc);
    ASSERT_EQ(discIdText(computeDiscId(toc)), discid_get_freedb_id(disc)) << "round " << round;
  }
  discid_free(disc);
}

TEST(DiscId, WorkedExampleAndItsQueryUrl) {
  // Tracks at 0 (0:02) and 17115 (3:50), lead-out at 19200 (4:18).
  const CdToc toc = makeToc({0, 17115}, 19200);
  EXPECT_EQ(computeDiscId(toc), 0x07010002u);
  EXPECT_EQ(buildQueryUrl("srv:80/~cddb/cddb.cgi", toc, {"me", "example.org"}),
            "srv:80/~cddb/cddb.cgi?cmd=cddb+query+07010002+2+150+17265+258&hello=me+example.org"
            "+tavlo3rondel+2&proto=5");
  // A small identifier keeps its leading zero; the length divides whole.
  EXPECT_EQ(discIdText(0x00ab0001), "00ab0001");
  const CdToc longDisc = makeToc({0}, 196349);
  EXPECT_NE(buildQueryUrl("s", longDisc, {"u", "h"}).find("+150+2619&hello="), std::string::npos);
}

TEST(DiscId, DataTrackCountsLikeAudioAndBadRecordsGiveNoTracks) {
  const CdToc withData = makeToc({0, 20000, 40000}, 60000, {3});
  EXPECT_EQ(computeDiscId(withData) & 0xff, 3u);
  EXPECT_NE(buildQueryUrl("s", withData, {"u", "h"}).find("+3+150+20150+40150+802&"),
            std::string::npos);
  CdToc reversed = withData;
  reversed.firstTrack = 3;
  reversed.lastTrack = 1;
  CdToc tooMany = withData;
  tooMany.lastTrack = 100;
  CdToc zero = withData;
  zero.firstTrack = 0;
  for (const CdToc* bad : {&reversed, &tooMany, &zero}) {
    EXPECT_EQ(computeDiscId(*bad), 0u);
    EXPECT_NE(buildQueryUrl("s", *bad, {"u", "h"}).find("query+00000000+0+802&"), std::string::npos);
  }
}

TEST(LookupUrls, HelloServerAndPercentEncodedUrls) {
  struct Case {
    const char* email;
    const char* user;
    const char* host;
  } cases[] = {
      {"me@example.org", "me", "example.org"}, {"plain", "plain", "unknown"},
      {"me@", "me", ""},                       {"", "", "unknown"},
      {"a@b@c", "a", "b@c"},                   {"@host", "", "host"},
  };
  for (const Case& c : cases) {
    const Hello hello = makeHello(c.email);
    EXPECT_EQ(hello.user, c.user) << c.email;
    EXPECT_EQ(hello.host, c.host) << c.email;
  }
  EXPECT_EQ(serverAddress("gnudb.gnudb.org"), "gnudb.gnudb.org:80/~cddb/cddb.cgi");
  EXPECT_EQ(serverAddress("127.0.0.1:8880"), "127.0.0.1:8880:80/~cddb/cddb.cgi");
  EXPECT_EQ(serverAddress(""), ":80/~cddb/cddb.cgi");
  // Values are percent-encoded outside letters, digits and "-._~@"; "+"
  // stays the separator, so an empty host leaves two '+' in a row.
  EXPECT_EQ(buildReadUrl("s:80/~cddb/cddb.cgi", "rock", "07010002", makeHello("a b&c@")),
            "s:80/~cddb/cddb.cgi?cmd=cddb+read+rock+07010002&hello=a%20b%26c++tavlo3rondel+2&proto=5");
  // An ordinary address goes out as it is.
  EXPECT_EQ(buildReadUrl("s", "rock", "07010002", makeHello("john.doe-1_x~y@mail.example.org")),
            "s?cmd=cddb+read+rock+07010002&hello=john.doe-1_x~y+mail.example.org+tavlo3rondel+2&proto=5");

  EXPECT_EQ(encodeUrlValue("A-Za-z0-9._~@"), "A-Za-z0-9._~@");
  EXPECT_EQ(encodeUrlValue("john smith"), "john%20smith");
  EXPECT_EQ(encodeUrlValue("a+b&c=d%e/f?g#h"), "a%2Bb%26c%3Dd%25e%2Ff%3Fg%23h");
  EXPECT_EQ(encodeUrlValue("line\r\nGET"), "line%0D%0AGET");
  EXPECT_EQ(encodeUrlValue(std::string("nul\0x\xE9", 6)), "nul%00x%E9");
  // The query's hello too: a space in the e-mail setting no longer breaks
  // the request line.
  const std::string query = buildQueryUrl("s", makeToc({0}, 19200), makeHello("John Smith@example.org"));
  EXPECT_NE(query.find("&hello=John%20Smith+example.org+tavlo3rondel+2&proto=5"), std::string::npos)
      << query;
  EXPECT_EQ(query.find(' '), std::string::npos);
  // Read values from a server's reply are encoded as well.
  EXPECT_EQ(buildReadUrl("s", "ro ck", "0701&x", makeHello("u@h")),
            "s?cmd=cddb+read+ro%20ck+0701%26x&hello=u+h+tavlo3rondel+2&proto=5");
}

}  // namespace
}  // namespace rondel
