// The real cddb-server process on 127.0.0.1: HTTP round trips, the request
// log, a clean end on SIGTERM, and each fault mode once. Every wait is
// bounded.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/background_process.h"
#include "support/temp_dir.h"

namespace {

using namespace std::chrono_literals;
using testing_support::BackgroundProcess;
using testing_support::TempDir;
using Clock = std::chrono::steady_clock;

const char kEntry[] =
    "# xmcd\n#\n# Track frame offsets:\n#\t150\n#\t17265\n#\n# Disc length: 258 seconds\n#\n"
    "DISCID=07010002\nDTITLE=Artist / Album\nTTITLE0=One\nTTITLE1=Two\n";
const char kQuery[] =
    "/~cddb/cddb.cgi?cmd=cddb+query+07010002+2+150+17265+258&hello=u+example.org+tavlo3rondel+2&proto=5";
const char kRead[] = "/~cddb/cddb.cgi?cmd=cddb+read+rock+07010002&hello=u+h+tavlo3rondel+2&proto=5";

// A client connection that speaks HTTP/1.0, as the component does, and reads
// with a bound.
class RawClient {
 public:
  // Sends a GET of `target`, or `target` as the whole request when `raw`.
  RawClient(int port, const std::string& target, bool raw = false) {
    const std::string text = raw ? target : "GET " + target + " HTTP/1.0\r\nHost:127.0.0.1\r\n\r\n";
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return;
    connected_ = ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) ==
                 static_cast<ssize_t>(text.size());
  }
  ~RawClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  // Reads until `want` more bytes came, the server closed, or `bound` passed.
  void read(std::size_t want = SIZE_MAX, std::chrono::milliseconds bound = 10s) {
    const auto until = Clock::now() + bound;
    const std::size_t goal = want == SIZE_MAX ? SIZE_MAX : bytes.size() + want;
    while (connected_ && !closed && bytes.size() < goal) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
      if (left.count() <= 0) return;
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      const std::size_t room = std::min(sizeof buffer, goal - bytes.size());
      const ssize_t n = ::recv(fd_, buffer, room, 0);
      if (n <= 0)
        closed = true;
      else
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
  }
  std::string body() const {
    const std::size_t end = bytes.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : bytes.substr(end + 4);
  }

  // Sends more bytes; false once the connection is gone.
  bool send(const std::string& text) {
    return connected_ && ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) ==
                             static_cast<ssize_t>(text.size());
  }

  std::string bytes;
  bool closed = false;

 private:
  int fd_ = -1;
  bool connected_ = false;
};

// A freedb folder with one entry and an empty category, and the server over
// it (which logs its requests to its output unless told a file).
class ServerRun {
 public:
  explicit ServerRun(std::vector<std::string> extra = {}, const std::string& entry = kEntry) {
    std::filesystem::create_directories(dir_.file("db/rock"));
    std::filesystem::create_directories(dir_.file("db/jazz"));
    dir_.write("db/rock/07010002", entry);
    std::vector<std::string> argv = {testing_support::binDir() + "/cddb-server", "--root",
                                     dir_.file("db"), "--listen", "127.0.0.1:0"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    process_ = std::make_unique<BackgroundProcess>(argv, dir_.file("server.out"));
    if (process_->started()) port = process_->listeningPort();
  }
  std::string output() const { return process_->log(); }
  // Stops the server; whether it ended with status 0.
  bool stopsCleanly() {
    const int status = process_->stop();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

  int port = 0;

 private:
  TempDir dir_;
  std::unique_ptr<BackgroundProcess> process_;
};

TEST(CddbServerProcess, AnswersOverHttpLogsRequestsAndEndsOnSigterm) {
  TempDir logDir;
  ServerRun server({"--log", logDir.file("requests.log")});
  ASSERT_GT(server.port, 0) << server.output();

  // HTTP/1.0 as the component sends it: answered as 1.0, and the reply ends
  // with the connection, which says so and offers no keep-alive.
  RawClient client(server.port, kQuery);
  client.read();
  EXPECT_TRUE(client.closed);
  EXPECT_EQ(client.bytes.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << client.bytes;
  EXPECT_NE(client.bytes.find("\r\nConnection: close\r\n"), std::string::npos) << client.bytes;
  EXPECT_EQ(client.bytes.find("Keep-Alive"), std::string::npos) << client.bytes;
  EXPECT_EQ(client.bytes.find("keep-alive"), std::string::npos) << client.bytes;
  EXPECT_NE(client.bytes.find("Content-Type: text/plain; charset=windows-1252\r\n"), std::string::npos);
  EXPECT_EQ(client.body(), "200 rock 07010002 Artist / Album\r\n");

  EXPECT_TRUE(server.stopsCleanly()) << server.output();
  const std::string log = testing_support::readFile(logDir.file("requests.log"));
  EXPECT_NE(log.find(std::string("GET ") + kQuery + "\n"), std::string::npos) << log;
}

TEST(CddbServerProcess, DelayAndFailingReadAnswerLate) {
  ServerRun server({"--delay", "300", "--fail-read", "rock/07010002"});
  ASSERT_GT(server.port, 0) << server.output();
  // Both requests wait at once, each on its own worker.
  const auto start = Clock::now();
  RawClient read(server.port, kRead);
  RawClient query(server.port, kQuery);
  read.read();
  query.read();
  EXPECT_GE(Clock::now() - start, 300ms);
  EXPECT_EQ(read.bytes.rfind("HTTP/1.0 500 ", 0), 0u) << read.bytes;
  // The failing entry is still listed.
  EXPECT_EQ(query.body(), "200 rock 07010002 Artist / Album\r\n");
  EXPECT_TRUE(server.stopsCleanly()) << server.output();
}

TEST(CddbServerProcess, CloseBeforeReplySendsNothingAndRedirectAnswers302) {
  const std::string target = "http://127.0.0.1:1/~cddb/cddb.cgi";
  for (const auto& [option, reply] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--close-before-reply"}, ""},
           {{"--redirect", target}, "HTTP/1.0 302 "}}) {
    SCOPED_TRACE(option[0]);
    ServerRun server(option);
    ASSERT_GT(server.port, 0) << server.output();
    RawClient client(server.port, kQuery);
    client.read();
    EXPECT_TRUE(client.closed);
    EXPECT_EQ(client.bytes.substr(0, reply.size()), reply) << client.bytes;
    if (reply.empty()) {
      EXPECT_EQ(client.bytes, "");
    } else {
      EXPECT_NE(client.bytes.find("\r\nLocation: " + target + "\r\n"), std::string::npos);
    }
    EXPECT_NE(server.output().find(std::string("GET ") + kQuery), std::string::npos);
  }
}

TEST(CddbServerProcess, NeverCloseSendsTheReplyAndKeepsTheConnection) {
  ServerRun server({"--never-close"});
  ASSERT_GT(server.port, 0) << server.output();
  RawClient client(server.port, kRead);
  // The whole reply comes (however loaded the machine), and then no close.
  const auto until = Clock::now() + 10s;
  while (!client.closed && Clock::now() < until &&
         (client.body().size() < 3 || client.body().substr(client.body().size() - 3) != ".\r\n"))
    client.read(1, 100ms);
  client.read(SIZE_MAX, 300ms);
  EXPECT_FALSE(client.closed);
  ASSERT_GE(client.body().size(), 3u) << client.bytes;
  EXPECT_EQ(client.body().substr(client.body().size() - 3), ".\r\n");
  // No Content-Length: only the close that never comes could end the body.
  EXPECT_EQ(client.bytes.find("Content-Length"), std::string::npos) << client.bytes;
  // The server still ends promptly with the connection open.
  EXPECT_TRUE(server.stopsCleanly()) << server.output();
}

TEST(CddbServerProcess, SlowSendsAboutOneBytePerSecond) {
  ServerRun server({"--slow"});
  ASSERT_GT(server.port, 0) << server.output();
  RawClient client(server.port, kQuery);
  client.read(1);
  const auto first = Clock::now();
  client.read(1);
  EXPECT_EQ(client.bytes, "HT");
  EXPECT_GE(Clock::now() - first, 500ms);  // loosely: clearly not all at once
  EXPECT_TRUE(server.stopsCleanly()) << server.output();
}

// Sends `requestText` on a fresh connection; the bytes until the server
// closes (or 10 s).
std::string rawExchange(int port, const std::string& requestText) {
  RawClient client(port, requestText, true);
  client.read();
  return client.bytes;
}

TEST(CddbServerProcess, ASecondServerOnATakenPortExitsWithOne) {
  ServerRun first;
  ASSERT_GT(first.port, 0) << first.output();
  TempDir dir;
  std::filesystem::create_directories(dir.file("db"));
  BackgroundProcess second({testing_support::binDir() + "/cddb-server", "--root", dir.file("db"),
                            "--listen", "127.0.0.1:" + std::to_string(first.port)},
                           dir.file("second.out"));
  const std::optional<int> status = second.waitExit(10s);
  ASSERT_TRUE(status.has_value()) << "the second server is still running: " << second.log();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
  EXPECT_EQ(second.log().find("listening"), std::string::npos) << second.log();
  EXPECT_NE(second.log().find("cannot listen on 127.0.0.1:" + std::to_string(first.port) +
                              ": the port is in use"),
            std::string::npos)
      << second.log();
  // The first one still answers alone.
  RawClient client(first.port, kQuery);
  client.read();
  EXPECT_EQ(client.body(), "200 rock 07010002 Artist / Album\r\n");
}

TEST(CddbServerProcess, KeepsHttp11ConnectionsAndReadsAbsoluteTargets) {
  ServerRun server;
  ASSERT_GT(server.port, 0) << server.output();
  // Two requests on one HTTP/1.1 connection, the second asking to close.
  const std::string twice = std::string("GET ") + kQuery + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" +
                            "GET " + kRead + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
  const std::string bytes = rawExchange(server.port, twice);
  EXPECT_EQ(bytes.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << bytes;
  const std::size_t second = bytes.find("HTTP/1.1 200 OK\r\n", 1);
  ASSERT_NE(second, std::string::npos) << bytes;
  EXPECT_EQ(bytes.substr(0, second).find("Connection: close"), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("Connection: close", second), std::string::npos) << bytes;
  EXPECT_NE(bytes.find("210 rock 07010002 CD database entry follows", second), std::string::npos);
  // The absolute form a client sends through a proxy.
  RawClient absolute(server.port, "http://127.0.0.1:" + std::to_string(server.port) + kQuery);
  absolute.read();
  EXPECT_EQ(absolute.body(), "200 rock 07010002 Artist / Album\r\n") << absolute.bytes;
  // A request line that cannot be read.
  EXPECT_EQ(rawExchange(server.port, "NONSENSE\r\n\r\n").rfind("HTTP/1.0 400 ", 0), 0u);
  // The sites answer names the port really listened on (the rest of each
  // command's answer is CddbCommands.AnswersTheServerCommands').
  RawClient sites(server.port, "/~cddb/cddb.cgi?cmd=sites&hello=u+h+c+1&proto=6");
  sites.read();
  EXPECT_NE(sites.body().find("\r\n127.0.0.1 http " + std::to_string(server.port) + " /~cddb/cddb.cgi "),
            std::string::npos)
      << sites.bytes;
  // A Host header goes into "sites" only when it is a host name; control
  // bytes in it (a lone CR, an escape) never reach the reply.
  const std::string sitesTarget = "/~cddb/cddb.cgi?cmd=sites&hello=u+h+c+1&proto=6";
  const std::string named = rawExchange(
      server.port, "GET " + sitesTarget + " HTTP/1.0\r\nHost: db.example.org:80\r\n\r\n");
  EXPECT_NE(named.find("\r\ndb.example.org http " + std::to_string(server.port) + " "),
            std::string::npos)
      << named;
  const std::string hostile = rawExchange(
      server.port, "GET " + sitesTarget + " HTTP/1.0\r\nHost: ev\x1b[31mil\rX: y\x01:80\r\n\r\n");
  const std::string body = hostile.substr(hostile.find("\r\n\r\n") + 4);
  EXPECT_NE(body.find("\r\n127.0.0.1 http " + std::to_string(server.port) + " "), std::string::npos)
      << body;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(body[i]);
    const bool lineEnd = (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ||
                         (c == '\n' && i > 0 && body[i - 1] == '\r');
    EXPECT_TRUE(c >= 0x20 || lineEnd) << "control byte " << int(c) << " at " << i << ": " << body;
  }
}

// Lets this process hold as many sockets as its hard limit allows.
void raiseFileLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }
}

TEST(CddbServerProcess, SlowAndIdleClientsDelayNoOne) {
  raiseFileLimit();
  ServerRun server({"--head-timeout", "1500"});
  ASSERT_GT(server.port, 0) << server.output();
  // 500 connections that send part of a head and then nothing, and a few
  // that trickle a byte every 100 ms: none of them holds a worker.
  std::vector<std::unique_ptr<RawClient>> slow;
  for (int i = 0; i < 500; ++i)
    slow.push_back(std::make_unique<RawClient>(server.port, "GET /~cddb/cddb.cgi?cmd=", true));
  std::vector<std::unique_ptr<RawClient>> trickling;
  for (int i = 0; i < 4; ++i)
    trickling.push_back(std::make_unique<RawClient>(server.port, "G", true));
  // An idle HTTP/1.1 connection after one answer waits in the loop too.
  RawClient idle(server.port, std::string("GET ") + kQuery + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", true);
  idle.read(1);

  for (int round = 0; round < 3; ++round) {
    RawClient normal(server.port, kQuery);
    normal.read(SIZE_MAX, 5s);
    EXPECT_EQ(normal.body(), "200 rock 07010002 Artist / Album\r\n") << "round " << round;
  }
  // The head deadline is for the whole head: bytes that keep coming do not
  // restart it, so the trickling ones are closed soon after 1.5 s.
  const auto start = Clock::now();
  while (Clock::now() - start < 5s) {
    bool open = false;
    for (auto& client : trickling) {
      if (client->closed) continue;
      open = true;
      client->send("E");
      client->read(SIZE_MAX, 100ms);
    }
    if (!open) break;
  }
  for (auto& client : trickling) EXPECT_TRUE(client->closed);
  EXPECT_LT(Clock::now() - start, 4s);
  slow.front()->read(SIZE_MAX, 2s);
  EXPECT_TRUE(slow.front()->closed);
  EXPECT_TRUE(server.stopsCleanly()) << server.output();
}

TEST(CddbServerProcess, AFullConnectionTableMakesRoomForANewClient) {
  // Eight connections at most: idle ones are closed, oldest first, so a
  // new client still gets its answer.
  ServerRun server({"--max-connections", "8"});
  ASSERT_GT(server.port, 0) << server.output();
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 8; ++i) {
    idle.push_back(std::make_unique<RawClient>(server.port, "GET /", true));
    std::this_thread::sleep_for(5ms);
  }
  RawClient normal(server.port, kQuery);
  normal.read(SIZE_MAX, 5s);
  EXPECT_EQ(normal.body(), "200 rock 07010002 Artist / Album\r\n");
  idle.front()->read(SIZE_MAX, 1s);
  EXPECT_TRUE(idle.front()->closed);
  EXPECT_TRUE(server.stopsCleanly()) << server.output();
}

TEST(CddbServerProcess, ARealCddbClientQueriesAndReadsThroughIt) {
  const std::string client = testing_support::binDir() + "/libcddb_client";
  if (::access(client.c_str(), X_OK) != 0)
    GTEST_SKIP() << "libcddb_client not built (libcddb2-dev is missing; scripts/setup installs it)";
  TempDir dir;
  // CRLF, a title over two lines, a slash inside the artist; lines "." and
  // ".hidden", which must not end the reply early.
  ServerRun server({"--log", dir.file("requests.log")},
                   "# xmcd\r\n#\r\n# Track frame offsets:\r\n#\t150\r\n#\t17265\r\n#\r\n"
                   "# Disc length: 258 seconds\r\n#\r\nDISCID=07010002\r\nDTITLE=AC/DC / Back In Black\r\n"
                   ".\r\n.hidden\r\nDYEAR=1980\r\nDGENRE=Hard Rock\r\nTTITLE0=Hells Bells\r\nTTITLE1=Rock and Roll Ain't \r\n"
                   "TTITLE1=Noise Pollution\r\nEXTD=\r\nEXTT0=\r\nEXTT1=\r\nPLAYORDER=\r\n");
  ASSERT_GT(server.port, 0) << server.output();
  const std::string port = std::to_string(server.port);

  // An e-mail with a space: libcddb sends it as it is; the server copes.
  BackgroundProcess run({client, port, "tester@example.org"}, dir.file("client.out"));
  const std::optional<int> status = run.waitExit(60s);
  ASSERT_TRUE(status.has_value()) << run.log();
  const std::string out = run.log();
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << out;
  EXPECT_NE(out.find("site=127.0.0.1:" + port + " http\nsites=1\n"), std::string::npos) << out;
  EXPECT_NE(out.find("discid=07010002\nmatches=1\ncategory=rock\n"), std::string::npos) << out;
  EXPECT_NE(out.find("artist=AC/DC\ntitle=Back In Black\nyear=1980\n"), std::string::npos) << out;
  EXPECT_NE(out.find("track1=Hells Bells\ntrack2=Rock and Roll Ain't Noise Pollution\n"),
            std::string::npos)
      << out;
  const std::string requests = testing_support::readFile(dir.file("requests.log"));
  EXPECT_NE(requests.find("cmd=sites"), std::string::npos) << requests;
  EXPECT_NE(requests.find("cmd=cddb+query+07010002"), std::string::npos) << requests;
  EXPECT_NE(requests.find("cmd=cddb+read+rock+07010002"), std::string::npos) << requests;
}

}  // namespace
