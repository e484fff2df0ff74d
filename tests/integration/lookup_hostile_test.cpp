// The lookup through the real rondel.qom against a hostile responder on
// 127.0.0.1 (hostile_cddb.py): floods of NULs and header lines, thousands of
// matches with silent reads, a trickling server, noise and another disc's
// entry as read replies, complete replies held open, chunked replies. Each
// lookup ends within its bounds with nothing wrong applied, and the CPU the
// test process used (getrusage) stays a small share of the wall time.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "lookup_fixture.h"
#include "support/run_command.h"

using namespace testing_support;
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

namespace {

const DiscLayout kDisc{{13230, 9000}};

// Connect 1 s, silence 1 s, one request 2 s, the whole lookup 3 s.
const char kTimeouts[] = "1000,1000,2000,3000";
constexpr double kLookupSeconds = 3.0;
// Room for the last turn, the window's own ticks and a sanitizer build.
constexpr double kGraceSeconds = 3.0;

DrivesJson oneDrive() { return drives({simDrive("SIM", kDisc.tracksJson())}); }

class HostileResponder {
 public:
  explicit HostileResponder(const std::string& mode) {
    const char* source = std::getenv("RONDEL_SOURCE_DIR");
    process_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{findProgram("python3"),
                                 std::string(source ? source : ".") + "/tests/integration/hostile_cddb.py",
                                 "--mode", mode, "--log", dir_.file("connections.log")},
        dir_.file("responder.out"));
    port_ = process_->listeningPort();
  }
  bool running() const { return port_ > 0; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  // Bytes the responder managed to send, over every connection that has
  // ended; waits up to 5 s for at least one to end.
  long long bytesSent() const {
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (readFile(dir_.file("connections.log")).empty() && Clock::now() < until)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::istringstream in(readFile(dir_.file("connections.log")));
    long long total = 0;
    for (std::string line; std::getline(in, line);) {
      const std::size_t at = line.find("sent=");
      if (at != std::string::npos) total += std::atoll(line.c_str() + at + 5);
    }
    return total;
  }
  std::string log() const { return readFile(dir_.file("connections.log")); }

 private:
  TempDir dir_;
  std::unique_ptr<BackgroundProcess> process_;
  int port_ = 0;
};

double cpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Measured {
  double wall, cpu;  // seconds
};

// Shows the window (the disc is found and the lookup starts) and runs it
// until "Ready"; wall and CPU time of the whole process meanwhile.
Measured lookUp(LookupWindow& f) {
  const double cpuBefore = cpuSeconds();
  const auto start = Clock::now();
  EXPECT_TRUE(f.lookUpUntilReady(60));
  return {std::chrono::duration<double>(Clock::now() - start).count(), cpuSeconds() - cpuBefore};
}

void expectBounded(const char* mode, const Measured& m, const HostileResponder& responder) {
  std::printf("[hostile] %-13s wall %.2f s, cpu %.3f s, responder sent %lld bytes\n", mode, m.wall,
              m.cpu, responder.bytesSent());
  EXPECT_LT(m.wall, kLookupSeconds + kGraceSeconds) << mode;
  // A generous bound: the lookup waits on its socket, it never spins.
  EXPECT_LT(m.cpu, 0.5 * m.wall + 0.25) << mode << ": cpu " << m.cpu << " s in " << m.wall << " s";
}

// One lookup against the responder in `mode`: it ends within its bounds,
// with nothing applied.
void expectEndsWithNothingApplied(const char* mode) {
  SCOPED_TRACE(mode);
  HostileResponder responder(mode);
  ASSERT_TRUE(responder.running());
  LookupWindow f(oneDrive(), responder.address(), kTimeouts);
  const Measured m = lookUp(f);
  expectBounded(mode, m, responder);
  EXPECT_TRUE(f.items().empty());
  EXPECT_EQ(f.entries().shownText(), "No freedb entries");
  EXPECT_EQ(f.edit("Artist").text(), "Unknown Artist");
  EXPECT_EQ(f.edit("Album").text(), "Unknown Album");
  EXPECT_EQ(f.column(1), (Strings{"Unknown Artist", "Unknown Artist"}));
  EXPECT_EQ(f.column(2), (Strings{"Track 01", "Track 02"}));
  // The cap is 1 MiB a request; what else went out sits in socket buffers.
  EXPECT_LT(responder.bytesSent(), 64LL << 20) << responder.log();
}

TEST(HostileLookup, FloodsOfNulBytesOrHeaderLinesStopAtTheCaps) {
  expectEndsWithNothingApplied("nul-flood");
  expectEndsWithNothingApplied("header-flood");
}

TEST(HostileLookup, ThousandsOfMatchesWithSilentReadsEndAtTheDeadline) {
  expectEndsWithNothingApplied("many-matches");
}

TEST(HostileLookup, ATricklingServerEndsAtTheDeadline) { expectEndsWithNothingApplied("slowloris"); }

TEST(HostileLookup, NoiseOrAnotherDiscsEntryIsNeverApplied) {
  expectEndsWithNothingApplied("random-read");
  expectEndsWithNothingApplied("other-entry");
}

TEST(HostileLookup, CompleteRepliesHeldOpenOrChunkedAreApplied) {
  struct Case {
    const char* mode;
    const char* caption;
    const char* artist;
    const char* album;
    Strings titles;
  } cases[] = {
      {"held-open", "Held / Open [rock]", "Held", "Open", {"H1", "H2"}},
      {"chunked", "Chunked / Reply [rock]", "AC/DC", "Back In Black",
       {"Hells Bells", "Shoot to Thrill"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    HostileResponder responder(c.mode);
    ASSERT_TRUE(responder.running());
    // The silence bound (1 s) would throw a held-open reply away; the
    // reply is complete at its Content-Length or its last chunk.
    LookupWindow f(oneDrive(), responder.address(), kTimeouts);
    const Measured m = lookUp(f);
    expectBounded(c.mode, m, responder);
    EXPECT_EQ(f.items(), Strings{c.caption});
    EXPECT_EQ(f.edit("Artist").text(), c.artist);
    EXPECT_EQ(f.edit("Album").text(), c.album);
    EXPECT_EQ(f.edit("Year").text(), "2001");
    EXPECT_EQ(f.column(2), c.titles);
  }
}

}  // namespace

// Titles are the database's to choose, the terminal is not: `qomhost disc`
// prints them with every control character as "?", while the JSON keeps
// them (escaped).
TEST(HostileLookup, ControlCharactersInTitlesNeverReachTheTerminal) {
  HostileResponder responder("control-titles");
  ASSERT_TRUE(responder.running());
  TempDir dir;
  ScopedEnv drivesConfig("CDR_CONFIG", dir.write("cdr.json", oneDrive().text));
  ScopedEnv timeouts("RONDEL_LOOKUP_TIMEOUTS", kTimeouts);
  const auto qomhost = [&](std::vector<std::string> args) {
    return testing_support::runQomhost(dir, std::move(args));
  };
  ASSERT_EQ(qomhost({"config", "set", "Freedb Server", responder.address()}).exitCode, 0);
  auto r = qomhost({"disc"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("Artist: Bell?\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Album:  Red?[31m Title?]0;pwned?\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("One?[2J"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Two?0;x?"), std::string::npos) << r.out;
  const auto control = [](char c) {
    return (static_cast<unsigned char>(c) < 0x20 && c != '\n') || c == 0x7F;
  };
  EXPECT_EQ(std::count_if(r.out.begin(), r.out.end(), control), 0) << r.out;
  EXPECT_EQ(r.out.find("\xC2\x9D"), std::string::npos) << r.out;  // U+009D, the 8-bit OSC

  r = qomhost({"disc", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto disc = nlohmann::json::parse(r.out);
  EXPECT_EQ(disc["artist"], "Bell\x07");
  EXPECT_EQ(disc["tracks"][1]["title"], "Two\xC2\x9D" "0;x\x07");
}
