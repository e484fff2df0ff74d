// NetConnection against a real peer on 127.0.0.1: rings, line handling,
// the close that keeps received bytes, and the error texts.
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <string>

#include "rondel/net/net_connection.h"
#include "unit/net/raw_peer.h"

namespace rondel {
namespace {

using namespace std::chrono_literals;
using net_test::RawPeer;

// Steps the connection until `done` holds, waiting on its socket between
// steps; false when `bound` passed first.
template <class Done>
bool stepUntil(NetConnection& c, Done done, std::chrono::milliseconds bound = 10s) {
  const auto until = std::chrono::steady_clock::now() + bound;
  while (std::chrono::steady_clock::now() < until) {
    c.step();
    if (done()) return true;
    if (c.socketHandle() >= 0) {
      const bool connecting = c.getState() == NetConnection::State::kConnecting;
      pollfd p{c.socketHandle(), static_cast<short>(connecting ? POLLOUT : POLLIN), 0};
      ::poll(&p, 1, 50);
    } else if (c.getState() == NetConnection::State::kResolving) {
      c.resolver()->waitForName(c.hostName(), 50ms);
    }
  }
  return false;
}

// Connects to a peer that answers `reply` and closes, and steps until closed.
void receiveAll(NetConnection& c, RawPeer& peer) {
  c.connect("127.0.0.1", peer.port());
  ASSERT_EQ(c.sendString("GET / HTTP/1.0\r\n\r\n"), 0);
  ASSERT_TRUE(stepUntil(c, [&] { return c.getState() == NetConnection::State::kClosed; }));
}

std::string takeLine(NetConnection& c, int size, int* result) {
  std::string buffer(static_cast<std::size_t>(size), '?');
  *result = c.getLine(buffer.data(), size);
  return std::string(buffer.c_str());
}

TEST(NetConnection, LineEndsAndBytesKeptAfterClose) {
  struct Case {
    std::string bytes;
    int lines;
    std::vector<std::string> taken;  // whole lines, in order
  };
  const Case cases[] = {
      {"abc\r\ndef\r\n", 2, {"abc", "def"}},
      {"abc\n\r\n", 1, {"abc", ""}},
      {"\r\n\r\n", 1, {"", ""}},
      {"\r\r\n\n", 3, {"", "", ""}},
      {"\n\r", 1, {""}},
      {"a\xff" "b\r\n", 1, {"a\xff" "b"}},
  };
  for (const Case& k : cases) {
    RawPeer peer(net_test::replyWith(k.bytes));
    NameResolver resolver;
    NetConnection c(&resolver, 64, 64);
    receiveAll(c, peer);
    // The peer closed, yet everything it sent is still there.
    EXPECT_EQ(c.bytesAvailable(), static_cast<int>(k.bytes.size()));
    EXPECT_EQ(c.linesAvailable(), k.lines) << k.bytes;
    for (const std::string& expected : k.taken) {
      int result = -1;
      EXPECT_EQ(takeLine(c, 64, &result), expected);
      EXPECT_EQ(result, 0);
    }
    int result = -1;
    EXPECT_EQ(takeLine(c, 64, &result), "");
    EXPECT_EQ(result, 1) << "nothing left";
    // A dotted address never needs the resolver's worker.
    EXPECT_EQ(resolver.workersStarted(), 0);
  }

  // A line longer than the buffer comes in pieces.
  RawPeer peer(net_test::replyWith("abcdefgh"));
  NetConnection c(nullptr, 64, 64);
  receiveAll(c, peer);
  int result = -1;
  EXPECT_EQ(takeLine(c, 4, &result), "abc");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(takeLine(c, 4, &result), "def");
  EXPECT_EQ(takeLine(c, 4, &result), "gh");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(c.bytesAvailable(), 0);
}

TEST(NetConnection, RingsWrapBothWays) {
  std::string pattern;
  for (int i = 0; i < 1000; ++i) pattern += static_cast<char>('A' + i % 26 + (i / 26) % 2 * 32);
  RawPeer peer(net_test::replyWith(pattern));
  NetConnection c(nullptr, 8, 16);
  c.connect("127.0.0.1", peer.port());
  // More than is free is refused whole.
  ASSERT_EQ(c.sendBytes("GET /", 5), 0);
  EXPECT_EQ(c.sendBytes("abcd", 4), -1);
  EXPECT_EQ(c.sendCount(), 5);
  ASSERT_TRUE(stepUntil(c, [&] { return c.sendCount() == 0; }));
  // These six bytes straddle the end of the eight-byte send ring.
  ASSERT_EQ(c.sendBytes("x HTTP", 6), 0);
  ASSERT_TRUE(stepUntil(c, [&] { return c.sendCount() == 0; }));
  ASSERT_EQ(c.sendString("\r\n\r\n"), 0);

  // Receiving through a 16-byte ring, taking 7 bytes at a time.
  std::string received;
  char piece[7];
  ASSERT_TRUE(stepUntil(c, [&] {
    for (int n; (n = c.getBytes(piece, sizeof piece)) > 0;) received.append(piece, n);
    return c.getState() == NetConnection::State::kClosed && c.bytesAvailable() == 0;
  }));
  EXPECT_EQ(received, pattern);
  ASSERT_EQ(peer.requests().size(), 1u);
  EXPECT_EQ(peer.requests()[0], "GET /x HTTP\r\n\r\n");
}

// Refused connections and failed look-ups reach HttpGetRequest's error text
// unchanged: HttpGetRequest.RepliesThatFail checks those.
TEST(NetConnection, ConnectsByNameThroughTheSystemResolver_EmptyNameFailsAtOnce) {
  RawPeer peer(net_test::replyWith("hi"));
  NetConnection c(nullptr, 64, 64);
  c.connect("", 80);
  EXPECT_EQ(c.getState(), NetConnection::State::kError);
  EXPECT_STREQ(c.getErrorText(), "empty hostname");
  c.connect("localhost", peer.port());
  ASSERT_EQ(c.sendString("GET / HTTP/1.0\r\n\r\n"), 0);
  ASSERT_TRUE(stepUntil(c, [&] { return c.getState() == NetConnection::State::kClosed; }))
      << c.getErrorText();
  EXPECT_EQ(c.bytesAvailable(), 2);
}

}  // namespace
}  // namespace rondel
