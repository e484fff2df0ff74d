// fetchText against small peers on 127.0.0.1 that misbehave the ways real
// servers do: it ends every request within its bounds and gives the body
// only for a 200 reply that the server ended by closing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <utility>

#include "rondel/metadata/accuraterip_lookup.h"
#include "rondel/metadata/lookup_thread.h"
#include "rondel/net/http_get_request.h"
#include "unit/net/raw_peer.h"

namespace rondel {
namespace {

using net_test::RawPeer;

// Reads the request head, sends `reply` and then closes, or, with `hold`,
// keeps the connection open until the client goes or the peer ends.
class Peer : public RawPeer {
 public:
  Peer(std::string reply, bool hold)
      : RawPeer([reply, hold](RawPeer& self, int fd, const std::string&) {
          if (!reply.empty()) sendAll(fd, reply);
          char buffer[1024];
          while (hold && self.waitReadable(fd, std::chrono::seconds(60)) &&
                 ::recv(fd, buffer, sizeof buffer, 0) > 0) {
          }
        }) {}
  std::string url() const { return base() + "/~cddb/cddb.cgi?cmd=x"; }
};

FetchLimits shortLimits() {
  FetchLimits limits;
  limits.connect = limits.silence = std::chrono::milliseconds(300);
  limits.total = std::chrono::seconds(5);
  return limits;
}

std::string fetch(const Peer& peer, const FetchLimits& limits, std::function<bool()> stop = [] {
  return false;
}) {
  HttpGetRequest request(nullptr, 16384, nullptr);
  return fetchText(request, peer.url(), limits, stop);
}

TEST(FetchText, BodyOnlyForAReplyTheServerEndsByClosing) {
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
  EXPECT_EQ(fetch(Peer(head + "210 rock 1 entry\r\n.\r\n", false), shortLimits()),
            "210 rock 1 entry\r\n.\r\n");
  EXPECT_EQ(fetch(Peer("HTTP/1.0 206 Partial\r\n\r\nabc", false), shortLimits()), "abc");
  // A NUL ends what is taken from that piece.
  EXPECT_EQ(fetch(Peer(head + std::string("ab\0cd", 5), false), shortLimits()), "ab");
  EXPECT_EQ(fetch(Peer("HTTP/1.0 404 Not Found\r\n\r\nmissing", false), shortLimits()), "");
  EXPECT_EQ(fetch(Peer("", false), shortLimits()), "");  // closes before any reply
  EXPECT_EQ(fetch(Peer("HTTP/1.0 200 OK\r\nX: y\r\n", false), shortLimits()), "");  // no body yet
  // The cap counts every received byte: status line and headers too.
  FetchLimits small = shortLimits();
  small.maxBytes = head.size() + 100;
  EXPECT_EQ(fetch(Peer(head + std::string(101, 'x'), false), small), "");
  EXPECT_EQ(fetch(Peer(head + std::string(100, 'x'), false), small), std::string(100, 'x'));
  // NUL bytes are never kept, but they count.
  EXPECT_EQ(fetch(Peer(head + std::string(101, '\0'), false), small), "");
  EXPECT_EQ(fetch(Peer(head + "a" + std::string(99, '\0'), false), small), "a");
  // Header lines have their own small cap.
  FetchLimits smallHead = shortLimits();
  smallHead.maxHeadBytes = 64;
  EXPECT_EQ(fetch(Peer("HTTP/1.0 200 OK\r\n" + std::string(60, 'h') + "\r\n\r\nbody", false),
                  smallHead),
            "");
  EXPECT_EQ(fetch(Peer("HTTP/1.0 200 OK\r\nX: y\r\n\r\nbody", false), smallHead), "body");
}

// The AccurateRip file: binary bodies whole (NULs kept), 404 as "not in the
// database", any other failure as failed, 64 KiB of body and no more.
TEST(FetchDatabaseFile, BinaryBodiesWholeNotFoundAndTheCap) {
  using Outcome = AccurateRipResult::Outcome;
  const auto get = [](const Peer& peer) {
    HttpGetRequest request(nullptr, 16384, nullptr);
    return fetchDatabaseFile(request, peer.base() + "/accuraterip/x.bin", shortLimits(), [] { return false; },
                             std::chrono::steady_clock::now() + std::chrono::seconds(10));
  };
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
  const std::string binary("\x02\0\0\x01\xff", 5);
  AccurateRipResult r = get(Peer(head + binary, false));
  EXPECT_EQ(r.outcome, Outcome::Found);
  EXPECT_EQ(r.body, binary);
  r = get(Peer(head + std::string(64 * 1024, '\0'), false));
  EXPECT_EQ(r.outcome, Outcome::Found);
  EXPECT_EQ(r.body.size(), 64u * 1024);
  r = get(Peer(head + std::string(64 * 1024 + 1, '\0'), false));
  EXPECT_EQ(r.outcome, Outcome::Failed);
  EXPECT_NE(r.error, "");
  EXPECT_EQ(get(Peer("HTTP/1.0 404 Not Found\r\n\r\nmissing", false)).outcome, Outcome::NotFound);
  r = get(Peer("HTTP/1.0 500 Internal Server Error\r\n\r\n", false));
  EXPECT_EQ(r.outcome, Outcome::Failed);
  EXPECT_NE(r.error.find("500"), std::string::npos) << r.error;
  EXPECT_EQ(get(Peer("", false)).outcome, Outcome::Failed);
  EXPECT_EQ(get(Peer("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", false)).outcome, Outcome::Failed);
  // Held open with nothing more: the silence bound ends it.
  EXPECT_EQ(get(Peer(head + "ab", true)).outcome, Outcome::Failed);
}

TEST(FetchText, EndsWithinItsBounds) {
  using Clock = std::chrono::steady_clock;
  const auto timed = [](const Peer& peer, const FetchLimits& limits, std::function<bool()> stop) {
    const auto start = Clock::now();
    EXPECT_EQ(fetch(peer, limits, std::move(stop)), "");
    return Clock::now() - start;
  };
  const auto never = [] { return false; };
  // Generous upper bounds: what matters is that each ends at all.
  EXPECT_LT(timed(Peer("", true), shortLimits(), never), std::chrono::seconds(5));  // never answers
  EXPECT_LT(timed(Peer("HTTP/1.0 200 OK\r\n\r\nbody", true), shortLimits(), never),
            std::chrono::seconds(5));  // never closes
  FetchLimits total = shortLimits();
  total.silence = std::chrono::seconds(30);
  total.total = std::chrono::milliseconds(400);
  EXPECT_LT(timed(Peer("", true), total, never), std::chrono::seconds(5));
  // A stop request ends it at the next turn: here the fourth check.
  FetchLimits slow = shortLimits();
  slow.silence = slow.total = std::chrono::seconds(60);
  int checks = 0;
  EXPECT_LT(timed(Peer("", true), slow, [&] { return ++checks > 3; }), std::chrono::seconds(5));
}

TEST(FetchText, ABodyEndsAtItsContentLengthOrItsLastChunk) {
  // The server keeps the connection open after a complete reply: the reply
  // counts at once, long before the silence time-out.
  FetchLimits slow = shortLimits();
  slow.silence = slow.total = std::chrono::seconds(30);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(fetch(Peer("HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", true), slow), "hello");
  // Bytes past the length are not body.
  EXPECT_EQ(fetch(Peer("HTTP/1.1 200 OK\r\ncontent-length:  3 \r\n\r\nabcdef", true), slow), "abc");
  EXPECT_EQ(fetch(Peer("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", true), slow), "");
  // Chunked: decoded, extensions and trailers passed over.
  EXPECT_EQ(fetch(Peer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                       "4\r\n210 \r\nA;ext=1\r\nrock 1 x\r\n\r\n3 \r\n.\r\n\r\n0\r\nX-T: y\r\n\r\n",
                       true),
                  slow),
            "210 rock 1 x\r\n.\r\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  // A close before the declared end is a cut-short reply, not a body.
  EXPECT_EQ(fetch(Peer("HTTP/1.0 200 OK\r\nContent-Length: 10\r\n\r\nshort", false), shortLimits()), "");
  EXPECT_EQ(fetch(Peer("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab", false),
                  shortLimits()),
            "");
  // Broken framing fails clearly: never text with chunk sizes in it. The
  // coding error names the coding after its text.
  const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  const std::pair<std::string, const char*> broken[] = {
      {chunked + "zz\r\nabc\r\n0\r\n\r\n", HttpGetRequest::kErrorBadChunk},
      {chunked + "3\r\nabcX\r\n0\r\n\r\n", HttpGetRequest::kErrorBadChunk},
      {chunked + "-1\r\n", HttpGetRequest::kErrorBadChunk},
      {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\nxx", HttpGetRequest::kErrorCoding},
      {"HTTP/1.1 200 OK\r\nContent-Length: 5\r\nContent-Length: 6\r\n\r\nhello",
       HttpGetRequest::kErrorBadLength},
  };
  for (const auto& [reply, error] : broken) {
    HttpGetRequest request(nullptr, 16384, nullptr);
    Peer peer(reply, false);
    EXPECT_EQ(fetchText(request, peer.url(), shortLimits(), [] { return false; }), "") << reply;
    EXPECT_EQ(request.getErrorText().rfind(error, 0), 0u) << request.getErrorText();
    if (error != HttpGetRequest::kErrorCoding) {
      EXPECT_EQ(request.getErrorText(), error);
    }
  }
}

TEST(FetchText, TheLookupDeadlineEndsARequest) {
  FetchLimits slow = shortLimits();
  slow.silence = slow.total = std::chrono::seconds(30);
  const auto start = std::chrono::steady_clock::now();
  HttpGetRequest request(nullptr, 16384, nullptr);
  Peer peer("", true);  // never answers
  EXPECT_EQ(fetchText(request, peer.url(), slow, [] { return false; },
                      start + std::chrono::milliseconds(300)),
            "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  // A deadline that has passed starts nothing.
  EXPECT_EQ(fetchText(request, peer.url(), slow, [] { return false; }, start), "");
}

TEST(FetchLimits, TheEnvironmentSetsTimeOutsAndTheDeadline) {
  const auto with = [](const char* text) {
    ::setenv("RONDEL_LOOKUP_TIMEOUTS", text, 1);
    const FetchLimits limits = FetchLimits::fromEnvironment();
    ::unsetenv("RONDEL_LOOKUP_TIMEOUTS");
    return limits;
  };
  const FetchLimits defaults;
  EXPECT_EQ(defaults.lookup, std::chrono::seconds(60));
  FetchLimits three = with("1,2,3");
  EXPECT_EQ(three.total, std::chrono::milliseconds(3));
  EXPECT_EQ(three.lookup, defaults.lookup);
  FetchLimits four = with("1,2,3,4");
  EXPECT_EQ(four.silence, std::chrono::milliseconds(2));
  EXPECT_EQ(four.lookup, std::chrono::milliseconds(4));
  EXPECT_EQ(with("1,2,3,0").total, defaults.total);
  EXPECT_EQ(with("1,2,3,4,5").total, defaults.total);
  EXPECT_EQ(with("1,2,3x").total, defaults.total);
}

}  // namespace
}  // namespace rondel
