// cddb_server_bench: cddb-server over a freedb-shaped tree (11 category
// folders, one xmcd file per disc) of --entries N files (default 1 000 000),
// generated once into --tree DIR and reused. It measures
//
//   - start-up: from spawning the server to its "listening" line, and to the
//     answer of its first query;
//   - query latency: exact matches of random entries (200), queries of
//     layouts the tree lacks (202 after the inexact search), each over its
//     own HTTP/1.0 connection as the component sends them;
//   - read latency: reads of random entries;
//   - memory: the server's resident set (VmRSS, VmHWM) after start-up and
//     after all requests, for the big tree and for a small one (--small N,
//     default 1000) side by side, so growth with the tree shows;
//   - slow clients: --slow-clients N (default 500) connections that send
//     part of a request head and then a byte now and then, held open while
//     exact queries of the small tree are timed.
//
// Goals: start-up under 1 s, a query (median and 99th percentile of exact
// matches) under 5 ms, memory on the big tree within 2 MiB of the small
// tree's, a query among the slow clients under 100 ms (99th percentile and
// the slowest). Exit 1 when one is missed. See README.md.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const std::array<const char*, 11> kCategories = {"blues", "classical", "country", "data",
                                                 "folk",  "jazz",      "misc",    "newage",
                                                 "reggae", "rock",     "soundtrack"};

struct Disc {
  std::string category;
  std::string id;
  std::vector<long> offsets;
  long seconds = 0;
};

unsigned digitSum(long n) {
  unsigned s = 0;
  for (; n > 0; n /= 10) s += static_cast<unsigned>(n % 10);
  return s;
}

std::string discIdOf(const std::vector<long>& offsets, long seconds) {
  unsigned n = 0;
  for (long o : offsets) n += digitSum(o / 75);
  const unsigned long id = (static_cast<unsigned long>(n % 255) << 24) |
                           (static_cast<unsigned long>(seconds - offsets[0] / 75) << 8) |
                           offsets.size();
  char text[16];
  std::snprintf(text, sizeof text, "%08lx", id & 0xFFFFFFFFul);
  return text;
}

Disc randomDisc(std::mt19937& rng, const std::string& category) {
  Disc d;
  d.category = category;
  const int tracks = std::uniform_int_distribution<int>(4, 20)(rng);
  long frame = 150 + std::uniform_int_distribution<int>(0, 40)(rng);
  for (int t = 0; t < tracks; ++t) {
    d.offsets.push_back(frame);
    frame += std::uniform_int_distribution<long>(75 * 90, 75 * 420)(rng);
  }
  d.seconds = frame / 75;
  d.id = discIdOf(d.offsets, d.seconds);
  return d;
}

std::string entryText(const Disc& d, int serial) {
  std::string t = "# xmcd\n#\n# Track frame offsets:\n";
  for (long o : d.offsets) t += "#\t" + std::to_string(o) + "\n";
  t += "#\n# Disc length: " + std::to_string(d.seconds) + " seconds\n#\n# Revision: 1\n";
  t += "# Submitted via: cddb_server_bench 1.0\n#\nDISCID=" + d.id + "\n";
  t += "DTITLE=Artist " + std::to_string(serial) + " / Album " + std::to_string(serial) + "\n";
  t += "DYEAR=" + std::to_string(1960 + serial % 60) + "\nDGENRE=" + d.category + "\n";
  for (std::size_t i = 0; i < d.offsets.size(); ++i)
    t += "TTITLE" + std::to_string(i) + "=Track " + std::to_string(i + 1) + " of disc " +
         std::to_string(serial) + "\n";
  t += "EXTD=\n";
  for (std::size_t i = 0; i < d.offsets.size(); ++i) t += "EXTT" + std::to_string(i) + "=\n";
  return t + "PLAYORDER=\n";
}

std::string sampleLine(const Disc& d) {
  std::string line = d.category + " " + d.id + " " + std::to_string(d.seconds);
  for (long o : d.offsets) line += " " + std::to_string(o);
  return line;
}

Disc parseSample(const std::string& line) {
  std::istringstream in(line);
  Disc d;
  in >> d.category >> d.id >> d.seconds;
  for (long o; in >> o;) d.offsets.push_back(o);
  return d;
}

// Makes (or reuses) a tree of `entries` files; gives a sample of its discs.
std::vector<Disc> makeTree(const fs::path& root, long entries) {
  const fs::path done = root / ".bench-complete";
  const fs::path sample = root / ".bench-sample";
  std::vector<Disc> discs;
  {
    std::ifstream marker(done);
    long count = 0;
    if (marker >> count && count == entries) {
      std::ifstream in(sample);
      for (std::string line; std::getline(in, line);) discs.push_back(parseSample(line));
      std::printf("tree: %ld entries in %s (reused)\n", entries, root.c_str());
      return discs;
    }
  }
  fs::remove_all(root);
  for (const char* c : kCategories) fs::create_directories(root / c);
  std::printf("tree: writing %ld entries into %s ...\n", entries, root.c_str());
  std::fflush(stdout);
  const auto start = Clock::now();
  std::mt19937 rng(20260612);
  std::ofstream sampleOut(sample);
  long written = 0;
  for (int serial = 0; written < entries; ++serial) {
    const std::string category = kCategories[static_cast<std::size_t>(serial) % kCategories.size()];
    const Disc d = randomDisc(rng, category);
    const fs::path file = root / category / d.id;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) continue;  // that id is taken in this category: another disc
    const std::string text = entryText(d, serial);
    if (::write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      std::perror("write");
      std::exit(2);
    }
    ::close(fd);
    if (written % 500 == 0) sampleOut << sampleLine(d) << "\n";
    ++written;
  }
  sampleOut.close();
  std::ofstream(done) << entries << "\n";
  std::printf("tree: written in %.0f s\n", std::chrono::duration<double>(Clock::now() - start).count());
  std::ifstream in(sample);
  for (std::string line; std::getline(in, line);) discs.push_back(parseSample(line));
  return discs;
}

class Server {
 public:
  Server(const std::string& binary, const fs::path& root) {
    int out[2];
    if (::pipe(out) != 0) std::exit(2);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> args = {binary, "--root", root.string(), "--listen", "127.0.0.1:0",
                                     "--log", "/dev/null"};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    started_ = Clock::now();
    if (posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
      std::perror("posix_spawn");
      std::exit(2);
    }
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') line += c;
    listening_ = Clock::now();
    ::close(out[0]);
    const std::size_t colon = line.rfind(':');
    if (line.rfind("listening on", 0) != 0 || colon == std::string::npos) {
      std::fprintf(stderr, "server did not start: %s\n", line.c_str());
      std::exit(2);
    }
    port = std::atoi(line.c_str() + colon + 1);
  }
  ~Server() {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  double startupSeconds() const { return std::chrono::duration<double>(listening_ - started_).count(); }
  Clock::time_point started() const { return started_; }
  // "VmRSS" or "VmHWM" in KiB.
  long memoryKiB(const char* field) const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(in, line);)
      if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field) + 1);
    return -1;
  }
  int port = 0;

 private:
  pid_t pid_ = -1;
  Clock::time_point started_, listening_;
};

// One HTTP/1.0 GET on its own connection; the body.
std::string get(int port, const std::string& target) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  std::string bytes;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
    const std::string request = "GET " + target + " HTTP/1.0\r\nHost:127.0.0.1\r\n\r\n";
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
      char buffer[8192];
      for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) bytes.append(buffer, n);
    }
  }
  ::close(fd);
  const std::size_t end = bytes.find("\r\n\r\n");
  return end == std::string::npos ? std::string() : bytes.substr(end + 4);
}

std::string queryTarget(const Disc& d, const std::string& id) {
  std::string t = "/~cddb/cddb.cgi?cmd=cddb+query+" + id + "+" + std::to_string(d.offsets.size());
  for (long o : d.offsets) t += "+" + std::to_string(o);
  return t + "+" + std::to_string(d.seconds) + "&hello=bench+example.org+bench+1&proto=5";
}

std::string readTarget(const Disc& d) {
  return "/~cddb/cddb.cgi?cmd=cddb+read+" + d.category + "+" + d.id +
         "&hello=bench+example.org+bench+1&proto=5";
}

struct Stats {
  double median = 0, p99 = 0, max = 0;
};

Stats stats(std::vector<double> ms) {
  Stats s;
  if (ms.empty()) return s;
  std::sort(ms.begin(), ms.end());
  s.median = ms[ms.size() / 2];
  s.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
  s.max = ms.back();
  return s;
}

template <class Check>
Stats timeRequests(int port, const std::vector<std::string>& targets, Check check, int& bad) {
  std::vector<double> ms;
  for (const std::string& target : targets) {
    const auto start = Clock::now();
    const std::string body = get(port, target);
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (!check(body)) ++bad;
  }
  return stats(ms);
}

struct Run {
  double startup = 0, firstAnswer = 0;
  long rssStart = 0, rssEnd = 0, hwmEnd = 0;
  Stats query, miss, read;
  int bad = 0;
};

Run measure(const std::string& binary, const fs::path& root, const std::vector<Disc>& discs,
            int requests) {
  Run run;
  Server server(binary, root);
  run.startup = server.startupSeconds();
  const Disc& first = discs.front();
  const std::string answer = get(server.port, queryTarget(first, first.id));
  run.firstAnswer = std::chrono::duration<double>(Clock::now() - server.started()).count();
  if (answer.rfind("200 ", 0) != 0 && answer.rfind("210 ", 0) != 0) ++run.bad;
  run.rssStart = server.memoryKiB("VmRSS:");

  std::mt19937 rng(7);
  std::vector<std::string> queries, misses, reads;
  for (int i = 0; i < requests; ++i) {
    const Disc& d = discs[std::uniform_int_distribution<std::size_t>(0, discs.size() - 1)(rng)];
    queries.push_back(queryTarget(d, d.id));
    reads.push_back(readTarget(d));
    // A layout the tree lacks: its own id with the low byte (track count)
    // kept and a checksum no generated disc of that layout has.
    Disc other = d;
    for (long& o : other.offsets) o += 75 * 40;  // 40 s later: outside any tolerance
    other.seconds += 40;
    // Each miss looks up thousands of candidate names: a twentieth as many.
    if (i % 20 == 0) misses.push_back(queryTarget(other, discIdOf(other.offsets, other.seconds)));
  }
  const auto found = [](const std::string& b) { return b.rfind("200 ", 0) == 0 || b.rfind("210 ", 0) == 0; };
  run.query = timeRequests(server.port, queries, found, run.bad);
  run.miss = timeRequests(server.port, misses, [](const std::string& b) { return b.size() >= 3; }, run.bad);
  run.read = timeRequests(server.port, reads, [](const std::string& b) { return b.rfind("210 ", 0) == 0; },
                          run.bad);
  run.rssEnd = server.memoryKiB("VmRSS:");
  run.hwmEnd = server.memoryKiB("VmHWM:");
  return run;
}

// A connection that has sent part of a request head and sends the rest a
// byte at a time, never finishing it.
class SlowClient {
 public:
  explicit SlowClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const char head[] = "GET /~cddb/cddb.cgi?cmd=";
    open_ = fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
            ::send(fd_, head, sizeof head - 1, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof head - 1);
  }
  ~SlowClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  SlowClient(const SlowClient&) = delete;
  SlowClient& operator=(const SlowClient&) = delete;
  void trickle() { open_ = open_ && ::send(fd_, "x", 1, MSG_NOSIGNAL | MSG_DONTWAIT) == 1; }
  bool open() const { return open_; }

 private:
  int fd_;
  bool open_ = false;
};

struct SlowRun {
  int connected = 0, stillOpen = 0;
  Stats query;
  int bad = 0;
};

// Exact queries while `count` slow clients hold connections; before each
// query a twentieth of them sends one more byte.
SlowRun measureSlowClients(const std::string& binary, const fs::path& root,
                           const std::vector<Disc>& discs, int count, int requests) {
  SlowRun run;
  Server server(binary, root);
  std::vector<std::unique_ptr<SlowClient>> slow;
  for (int i = 0; i < count; ++i) {
    slow.push_back(std::make_unique<SlowClient>(server.port));
    if (slow.back()->open()) ++run.connected;
  }
  std::mt19937 rng(11);
  std::vector<double> ms;
  std::size_t next = 0;
  const std::size_t slice = std::max<std::size_t>(1, slow.size() / 20);
  for (int i = 0; i < requests; ++i) {
    for (std::size_t k = 0; k < slice && !slow.empty(); ++k) slow[next++ % slow.size()]->trickle();
    const Disc& d = discs[std::uniform_int_distribution<std::size_t>(0, discs.size() - 1)(rng)];
    const auto start = Clock::now();
    const std::string body = get(server.port, queryTarget(d, d.id));
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (body.rfind("200 ", 0) != 0 && body.rfind("210 ", 0) != 0) ++run.bad;
  }
  for (const auto& client : slow) run.stillOpen += client->open() ? 1 : 0;
  run.query = stats(ms);
  return run;
}

void print(const char* name, long entries, const Run& r) {
  std::printf("%s (%ld entries):\n", name, entries);
  std::printf("  start-up: listening after %.1f ms, first query answered after %.1f ms\n",
              r.startup * 1000, r.firstAnswer * 1000);
  std::printf("  query (exact) ms: median %.3f, p99 %.3f, max %.3f\n", r.query.median, r.query.p99,
              r.query.max);
  std::printf("  query (no match, inexact search) ms: median %.3f, p99 %.3f, max %.3f\n",
              r.miss.median, r.miss.p99, r.miss.max);
  std::printf("  read ms: median %.3f, p99 %.3f, max %.3f\n", r.read.median, r.read.p99, r.read.max);
  std::printf("  memory KiB: rss after start-up %ld, rss at the end %ld, peak %ld\n", r.rssStart,
              r.rssEnd, r.hwmEnd);
  if (r.bad > 0) std::printf("  %d wrong answers\n", r.bad);
}

}  // namespace

int main(int argc, char** argv) {
  long entries = 1000000, small = 1000;
  int requests = 1000, slowClients = 500;
  std::string tree, binary;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--entries") entries = std::atol(next().c_str());
    else if (a == "--small") small = std::atol(next().c_str());
    else if (a == "--requests") requests = std::atoi(next().c_str());
    else if (a == "--slow-clients") slowClients = std::atoi(next().c_str());
    else if (a == "--tree") tree = next();
    else if (a == "--server") binary = next();
    else {
      std::fprintf(stderr,
                   "usage: cddb_server_bench [--entries N] [--small N] [--requests N] [--tree DIR] "
                   "[--server PATH] [--slow-clients N]\n");
      return 2;
    }
  }
  if (binary.empty()) binary = (fs::path(argv[0]).parent_path() / "cddb-server").string();
  if (tree.empty()) tree = (fs::temp_directory_path() / "rondel-cddb-bench").string();
  if (entries < 1 || small < 1 || requests < 1 || slowClients < 0) return 2;
  // One descriptor per slow client, in this process and in the server.
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
  }

  const std::vector<Disc> bigDiscs = makeTree(fs::path(tree) / std::to_string(entries), entries);
  const std::vector<Disc> smallDiscs = makeTree(fs::path(tree) / std::to_string(small), small);
  const Run smallRun = measure(binary, fs::path(tree) / std::to_string(small), smallDiscs, requests);
  const Run bigRun = measure(binary, fs::path(tree) / std::to_string(entries), bigDiscs, requests);
  const SlowRun slowRun = measureSlowClients(binary, fs::path(tree) / std::to_string(small),
                                             smallDiscs, slowClients, requests);
  print("small tree", small, smallRun);
  print("big tree", entries, bigRun);
  std::printf("slow clients (%d connected, %d still open at the end, small tree):\n",
              slowRun.connected, slowRun.stillOpen);
  std::printf("  query (exact) ms: median %.3f, p99 %.3f, max %.3f\n", slowRun.query.median,
              slowRun.query.p99, slowRun.query.max);
  if (slowRun.bad > 0) std::printf("  %d wrong answers\n", slowRun.bad);

  bool ok = bigRun.bad == 0 && smallRun.bad == 0 && slowRun.bad == 0;
  const auto goal = [&](bool met, const char* what) {
    std::printf("goal %-46s %s\n", what, met ? "met" : "MISSED");
    ok = ok && met;
  };
  goal(bigRun.startup < 1.0, "start-up under 1 s:");
  goal(bigRun.query.median < 5.0 && bigRun.query.p99 < 5.0, "exact query under 5 ms (median, p99):");
  goal(bigRun.hwmEnd <= smallRun.hwmEnd + 2048, "memory not growing with the tree (+2 MiB):");
  goal(slowRun.connected == slowClients && slowRun.query.p99 < 100.0 && slowRun.query.max < 100.0,
       "query among slow clients under 100 ms (p99, max):");
  return ok ? 0 : 1;
}
