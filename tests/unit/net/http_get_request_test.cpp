// HttpGetRequest against real servers on 127.0.0.1: nginx, tinyproxy, and
// scripted raw peers for the replies those servers never send.
#include <gtest/gtest.h>
#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "rondel/net/http_get_request.h"
#include "support/background_process.h"
#include "support/temp_dir.h"
#include "unit/net/raw_peer.h"
#include "unit/net/servers.h"

namespace rondel {
namespace {

using namespace std::chrono_literals;
using net_test::RawPeer;
using net_test::replyWith;

struct Fetched {
  int result = 0;  // run()'s last answer; 99 when the bound passed
  std::string body;
  int runs = 0;
};

// The caller's loop: run, take the body, (tell `afterRun`,) wait.
Fetched fetch(HttpGetRequest& request, const std::string& url, int minorVersion = 0,
              const std::function<void()>& afterRun = {}) {
  request.connect(url, minorVersion);
  Fetched f;
  const auto until = std::chrono::steady_clock::now() + 10s;
  for (;;) {
    f.result = request.run();
    ++f.runs;
    char buffer[4096];
    for (int n; (n = request.getBytes(buffer, sizeof buffer)) > 0;) f.body.append(buffer, n);
    if (afterRun) afterRun();
    if (f.result != 0) return f;
    if (std::chrono::steady_clock::now() > until) {
      f.result = 99;
      return f;
    }
    request.wait(100ms);
  }
}

TEST(HttpGetRequest, AgainstNginxDirectAndThroughTinyproxy) {
  testing_support::TempDir dir;
  net_test::Nginx nginx(dir);
  ASSERT_TRUE(nginx.start());
  HttpGetRequest request(nullptr, 4096);

  Fetched f = fetch(request, nginx.base() + "/file.txt");
  EXPECT_EQ(f.result, 1);
  EXPECT_EQ(f.body, net_test::Nginx::kFileText);
  EXPECT_EQ(request.getReplyCode(), 200);
  EXPECT_EQ(request.getStatus(), HttpGetRequest::kStatusBody);
  // Waiting between runs, not spinning: a handful of runs for a tiny reply.
  EXPECT_LT(f.runs, 50);

  f = fetch(request, nginx.base() + "/missing.txt");
  EXPECT_EQ(f.result, -1);
  EXPECT_EQ(request.getStatus(), HttpGetRequest::kStatusFailed);
  EXPECT_EQ(request.getErrorText(), "HTTP/1.1 404 Not Found");
  EXPECT_EQ(request.wait(1s), -1) << "a failed request never waits";

  // 301 and 302 are followed, and the redirected request goes out as 1.0.
  for (const char* path : {"/moved", "/found"}) {
    f = fetch(request, nginx.base() + path, 1);
    EXPECT_EQ(f.result, 1) << path;
    EXPECT_EQ(f.body, net_test::Nginx::kFileText) << path;
    EXPECT_EQ(request.redirectCount(), 1);
  }
  EXPECT_EQ(nginx.waitForLogged("\"GET /file.txt HTTP/1.0\" 200", 3), 3) << nginx.accessLog();
  EXPECT_EQ(nginx.waitForLogged("\"GET /moved HTTP/1.1\" 301", 1), 1) << nginx.accessLog();

  f = fetch(request, nginx.base() + "/secret/a.txt");
  EXPECT_EQ(f.result, -1);
  EXPECT_EQ(request.getReplyCode(), 401);
  f = fetch(request, "http://user:secret@" + nginx.base() + "/secret/a.txt");
  EXPECT_EQ(f.result, 1);
  EXPECT_EQ(f.body, "behind the door\n");

  // A redirect loop ends after five redirects.
  f = fetch(request, nginx.base() + "/loop");
  EXPECT_EQ(f.result, -1);
  EXPECT_EQ(request.getErrorText(), "too many redirects");
  EXPECT_EQ(request.redirectCount(), HttpGetRequest::kMaxRedirects);
  EXPECT_EQ(nginx.waitForLogged("GET /loop ", 6), 6);

  // Through tinyproxy, which demands basic authentication.
  net_test::Tinyproxy proxy(dir);
  ASSERT_TRUE(proxy.start());
  HttpGetRequest allowed(nullptr, 4096, "puser:ppass@" + proxy.base());
  f = fetch(allowed, nginx.base() + "/file.txt");
  EXPECT_EQ(f.result, 1) << allowed.getErrorText();
  EXPECT_EQ(f.body, net_test::Nginx::kFileText);
  HttpGetRequest refused(nullptr, 4096, std::string_view(proxy.base()));
  f = fetch(refused, nginx.base() + "/file.txt");
  EXPECT_EQ(f.result, -1);
  EXPECT_EQ(refused.getReplyCode(), 407) << refused.getErrorText();
}

TEST(HttpGetRequest, RequestTextOnTheWire) {
  RawPeer proxy(replyWith("HTTP/1.0 200 OK\r\n\r\nok"));
  HttpGetRequest request(nullptr, 4096, "pu:pp@" + proxy.base());
  Fetched f = fetch(request, "user:pw@server.example:8080/path?q=1");
  EXPECT_EQ(f.result, 1);
  EXPECT_EQ(f.body, "ok");
  ASSERT_EQ(proxy.requests().size(), 1u);
  EXPECT_EQ(proxy.requests()[0],
            "GET http://user:pw@server.example:8080/path?q=1 HTTP/1.0\r\n"
            "Host:server.example\r\nAuthorization: Basic dXNlcjpwdw==\r\n"
            "Proxy-Authorization: Basic cHU6cHA=\r\n\r\n");
}

TEST(HttpGetRequest, RedirectWithLowerCaseLocationTo206) {
  RawPeer target(replyWith("HTTP/1.0 206 Partial Content\r\nContent-Range: bytes 0-3/9\r\n\r\npart"));
  RawPeer first(replyWith("HTTP/1.0 302 Found\r\nServer: raw\r\nlocation:   http://" +
                          target.base() + "/x \r\n\r\n"));
  HttpGetRequest request(nullptr, 4096);
  Fetched f = fetch(request, first.base() + "/start", 1);
  EXPECT_EQ(f.result, 1);
  EXPECT_EQ(f.body, "part");
  EXPECT_EQ(request.getReplyCode(), 206);
  ASSERT_EQ(target.requests().size(), 1u);
  EXPECT_EQ(target.requests()[0], "GET /x HTTP/1.0\r\nHost:127.0.0.1\r\n\r\n");

  // A relative target stays on the same server.
  RawPeer relative([&](RawPeer&, int fd, const std::string& r) {
    RawPeer::sendAll(fd, r.rfind("GET /a ", 0) == 0 ? "HTTP/1.0 301 Moved\r\nLocation: /b\r\n\r\n"
                                                      : "HTTP/1.0 200 OK\r\n\r\nB");
  });
  f = fetch(request, relative.base() + "/a");
  EXPECT_EQ(f.result, 1);
  EXPECT_EQ(f.body, "B");
}

TEST(HttpGetRequest, RepliesThatFail) {
  HttpGetRequest request(nullptr, 4096);
  // A redirect without a target fails without an error text.
  RawPeer noTarget(replyWith("HTTP/1.0 302 Found\r\nLocation:   \r\nX: y\r\n\r\n"));
  Fetched f = fetch(request, noTarget.base() + "/");
  EXPECT_EQ(f.result, -1);
  EXPECT_EQ(request.getErrorText(), "");

  // A status line without a space has reply code 0.
  RawPeer garbage(replyWith("garbage\r\n\r\nbody"));
  f = fetch(request, garbage.base() + "/");
  EXPECT_EQ(f.result, -1);
  EXPECT_EQ(request.getReplyCode(), 0);
  EXPECT_EQ(request.getErrorText(), "garbage");

  // A server that closes before the status line: finished, with no body.
  RawPeer silentClose(replyWith(""));
  f = fetch(request, silentClose.base() + "/");
  EXPECT_EQ(f.result, 1);
  EXPECT_EQ(f.body, "");
  EXPECT_EQ(request.getStatus(), HttpGetRequest::kStatusWaiting);

  for (const char* url : {":80/x", "server:abc/", "server:70000/", "server/a\r\nX: y"}) {
    request.connect(url, 0);
    EXPECT_EQ(request.run(), -1) << url;
    EXPECT_EQ(request.getErrorText(), "invalid URL") << url;
  }
  request.connect(nullptr, 0);
  EXPECT_EQ(request.getErrorText(), "invalid URL");

  f = fetch(request, "127.0.0.1:" + std::to_string(testing_support::freeTcpPort()) + "/");
  EXPECT_EQ(f.result, -1);
  EXPECT_EQ(request.getErrorText(), "connecting to host: Connection refused");

  NameResolver failing(4, [](const std::string&) { return std::uint32_t{INADDR_NONE}; });
  HttpGetRequest named(&failing, 4096);
  f = fetch(named, "no.such.host/");
  EXPECT_EQ(f.result, -1);
  EXPECT_EQ(named.getErrorText(), "resolving hostname");
}

TEST(HttpGetRequest, LongLinesComeInPiecesWithoutBreakingTheHeaders) {
  // The status line runs past 4095 bytes: only its first piece counts.
  const std::string longStatus = "HTTP/1.0 200 OK" + std::string(5000, 'x');
  // A header whose line end falls just after a whole piece must not read
  // as the empty line that ends the headers.
  const std::string pieceHeader = "X: " + std::string(4092, 'a');
  RawPeer peer(replyWith(longStatus + "\r\n" + pieceHeader + "\r\nNext: v\r\n" +
                         std::string(9000, 'h') + "\r\n\r\nBODY"));
  HttpGetRequest request(nullptr, 4096);
  Fetched f = fetch(request, peer.base() + "/");
  EXPECT_EQ(f.result, 1);
  EXPECT_TRUE(f.body == "BODY") << "headers leaked into a body of " << f.body.size() << " bytes";
  EXPECT_TRUE(request.getStatusLine() == longStatus.substr(0, 4095));
}

// The peer sends `first`, waits until the client has reached `status`,
// then sends `rest` and closes; gives the body the client took.
std::string splitReply(const std::string& first, int status, const std::string& rest) {
  std::mutex mutex;  // guards proceed (test thread sets it, peer thread waits)
  std::condition_variable changed;
  bool proceed = false;
  RawPeer peer([&](RawPeer&, int fd, const std::string&) {
    RawPeer::sendAll(fd, first);
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait_for(lock, 10s, [&] { return proceed; });
    RawPeer::sendAll(fd, rest);
  });
  HttpGetRequest request(nullptr, 4096);
  return fetch(request, peer.base() + "/", 0, [&] {
           if (request.getStatus() != status) return;
           std::lock_guard<std::mutex> lock(mutex);
           proceed = true;
           changed.notify_all();
         }).body;
}

TEST(HttpGetRequest, LineEndSplitBetweenTwoReceives) {
  // The LF of a CR LF that arrives later belongs to the line already taken:
  // it is neither an empty line (which would end the headers) nor body.
  EXPECT_EQ(splitReply("HTTP/1.0 200 OK\r", HttpGetRequest::kStatusHeaders, "\nX: y\r\n\r\nBODY"),
            "BODY");
  EXPECT_EQ(splitReply("HTTP/1.0 200 OK\r\n\r", HttpGetRequest::kStatusBody, "\nBODY"), "BODY");
}

TEST(HttpGetRequest, SilentPeerLeavesWaitToItsBound) {
  RawPeer peer([](RawPeer& self, int, const std::string&) { self.waitForEnd(20s); });
  HttpGetRequest request(nullptr, 4096);
  request.connect(peer.base() + "/", 0);
  EXPECT_TRUE(request.connecting());
  const auto until = std::chrono::steady_clock::now() + 10s;
  while (request.connecting() && std::chrono::steady_clock::now() < until) {
    ASSERT_EQ(request.run(), 0);
    request.wait(100ms);
  }
  ASSERT_FALSE(request.connecting());
  ASSERT_TRUE(request.run() == 0 && request.run() == 0);
  const auto before = std::chrono::steady_clock::now();
  EXPECT_EQ(request.wait(200ms), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - before, 150ms);
  EXPECT_EQ(request.run(), 0);
  EXPECT_EQ(request.getStatus(), HttpGetRequest::kStatusWaiting);
}

}  // namespace
}  // namespace rondel
