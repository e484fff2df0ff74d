// The real cddb-server process on 127.0.0.1: HTTP round trips, the request
// log, a clean end on SIGTERM, and each fault mode once. Every wait is
// bounded.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
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
  RawClient(int port, const std::string& target) {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return;
    const std::string request = "GET " + target + " HTTP/1.0\r\nHost:127.0.0.1\r\n\r\n";
    connected_ = ::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) ==
                 static_cast<ssize_t>(request.size());
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

  std::string bytes;
  bool closed = false;

 private:
  int fd_ = -1;
  bool connected_ = false;
};

// A freedb folder with one entry and the server over it.
class ServerRun {
 public:
  explicit ServerRun(std::vector<std::string> extra = {}) {
    std::filesystem::create_directories(dir_.file("db/rock"));
    dir_.write("db/rock/07010002", kEntry);
    std::vector<std::string> argv = {testing_support::binDir() + "/cddb-server", "--root",
                                     dir_.file("db"), "--listen", "127.0.0.1:0"};
    argv.insert(argv.end(), extra.begin(), extra.end());
    process_ = std::make_unique<BackgroundProcess>(argv, dir_.file("server.out"));
    std::string line;
    if (process_->started() && process_->waitForLine("listening on 127.0.0.1:", &line))
      port = std::stoi(line.substr(line.rfind(':') + 1));
  }
  std::string output() const { return process_->log(); }
  int stop() { return process_->stop(); }
  std::string file(const std::string& name) const { return dir_.file(name); }

  int port = 0;

 private:
  TempDir dir_;
  std::unique_ptr<BackgroundProcess> process_;
};

TEST(CddbServerProcess, AnswersOverHttpLogsRequestsAndEndsOnSigterm) {
  TempDir logDir;
  const std::string logFile = logDir.file("requests.log");
  ServerRun server({"--log", logFile});
  ASSERT_GT(server.port, 0) << server.output();

  // HTTP/1.0 as the component sends it: the reply ends with the connection.
  RawClient client(server.port, kQuery);
  client.read();
  EXPECT_TRUE(client.closed);
  EXPECT_EQ(client.bytes.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << client.bytes;
  EXPECT_NE(client.bytes.find("Content-Type: text/plain; charset=windows-1252\r\n"), std::string::npos);
  EXPECT_EQ(client.body(), "200 rock 07010002 Artist / Album\r\n");

  // And an independent HTTP/1.1 client, level 6.
  httplib::Client http("127.0.0.1", server.port);
  http.set_read_timeout(10, 0);
  const httplib::Params params = {
      {"cmd", "cddb read rock 07010002"}, {"hello", "u h c 1"}, {"proto", "6"}};
  auto res = http.Get("/~cddb/cddb.cgi", params, httplib::Headers());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=UTF-8");
  EXPECT_EQ(res->body.rfind("210 rock 07010002 CD database entry follows", 0), 0u);
  const std::string ending = "TTITLE1=Two\r\n.\r\n";
  ASSERT_GE(res->body.size(), ending.size());
  EXPECT_EQ(res->body.substr(res->body.size() - ending.size()), ending);

  const int status = server.stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::string log = testing_support::readFile(logFile);
  EXPECT_NE(log.find(std::string("GET ") + kQuery + "\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\nGET /~cddb/cddb.cgi?"), std::string::npos) << log;  // the second request
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
  EXPECT_EQ(read.bytes.rfind("HTTP/1.1 500 ", 0), 0u) << read.bytes;
  // The failing entry is still listed.
  EXPECT_EQ(query.body(), "200 rock 07010002 Artist / Album\r\n");
  const int status = server.stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << server.output();
}

TEST(CddbServerProcess, CloseBeforeReplySendsNothing) {
  ServerRun server({"--close-before-reply"});
  ASSERT_GT(server.port, 0) << server.output();
  RawClient client(server.port, kQuery);
  client.read();
  EXPECT_TRUE(client.closed);
  EXPECT_EQ(client.bytes, "");
  EXPECT_NE(server.output().find(std::string("GET ") + kQuery), std::string::npos);
}

TEST(CddbServerProcess, RedirectAnswers302ToTheGivenUrl) {
  ServerRun server({"--redirect", "http://127.0.0.1:1/~cddb/cddb.cgi"});
  ASSERT_GT(server.port, 0) << server.output();
  RawClient client(server.port, kQuery);
  client.read();
  EXPECT_TRUE(client.closed);
  EXPECT_EQ(client.bytes.rfind("HTTP/1.1 302 ", 0), 0u) << client.bytes;
  EXPECT_NE(client.bytes.find("\r\nLocation: http://127.0.0.1:1/~cddb/cddb.cgi\r\n"), std::string::npos);
}

TEST(CddbServerProcess, NeverCloseSendsTheReplyAndKeepsTheConnection) {
  ServerRun server({"--never-close"});
  ASSERT_GT(server.port, 0) << server.output();
  RawClient client(server.port, kRead);
  client.read(SIZE_MAX, 500ms);
  EXPECT_FALSE(client.closed);
  EXPECT_EQ(client.body().substr(client.body().size() - 3), ".\r\n");
  // The server still ends promptly with the connection open.
  const int status = server.stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
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
  const int status = server.stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
