// Drills on the lookup against a real cddb-server that fails as a whole:
// it dies mid-lookup, it redirects in a loop, it never closes. The lookup
// must end "Ready" within the time-outs (shortened here to 1 s connect,
// 1 s silence, 5 s in all) with nothing applied, and the window must go on
// working: a rip afterwards, a lookup of the next disc against a good
// server. Also here, as it shares the held lookup: the window closed while
// the server holds its query.
#include <gtest/gtest.h>

#include "drill_support.h"
#include "integration/lookup_fixture.h"

using namespace drills;
using testing_support::CddbServer;
using testing_support::drives;
using testing_support::simDrive;
using Strings = std::vector<std::string>;

namespace {

const testing_support::DiscLayout kDisc{{60, 45}};
const testing_support::DiscLayout kNextDisc{{60, 45, 30}};
// The shortened total bound per request, and what a lookup may take beyond
// it on a loaded machine.
constexpr auto kLookupBound = std::chrono::seconds(5) + std::chrono::seconds(3);

std::string entryOf(const testing_support::DiscLayout& disc, const std::string& dtitle,
                    const Strings& titles) {
  return testing_support::xmcdEntry(disc, disc.discId(), dtitle, titles);
}

// The window as a fresh disc leaves it when no lookup applied anything.
void expectNothingApplied(testing_support::LookupWindow& w, const Strings& titles) {
  EXPECT_TRUE(w.items().empty());
  EXPECT_EQ(w.entries().shownText(), "No freedb entries");
  EXPECT_EQ(w.edit("Artist").text(), "Unknown Artist");
  EXPECT_EQ(w.column(1), Strings(titles.size(), "Unknown Artist"));
  EXPECT_EQ(w.column(2), titles);
}

// Shows the window, lets the lookup run to "Ready" within the bound, and
// checks that it applied nothing to the two-track disc.
void expectLookupEndsWithNothing(testing_support::LookupWindow& w) {
  ASSERT_TRUE(w.show());
  ASSERT_TRUE(w.tick());
  const auto start = Clock::now();
  ASSERT_TRUE(w.runUntilStatus("Ready"));
  EXPECT_LT(Clock::now() - start, kLookupBound);
  expectNothingApplied(w, {"Track 01", "Track 02"});
}

// Shows the window and lets its query reach the server, which (started with
// --delay) holds it.
void startHeldLookup(CddbServer& server, testing_support::LookupWindow& w) {
  ASSERT_TRUE(w.show());
  ASSERT_TRUE(w.tick());
  ASSERT_EQ(w.status().text(), "Querying freedb...");
  ASSERT_TRUE(w.driver().runUntil([&] { return !server.requests().empty(); }, std::chrono::seconds(10)));
}

}  // namespace

// Survives the server dying mid-lookup: the window ("Ready", defaults kept)
// and ripping: the disc is copied afterwards.
TEST(ServerDrill, ServerKilledWhileTheLookupWaits) {
  CddbServer server({"--delay", "60000"});
  ASSERT_TRUE(server.running());
  server.add("rock", kDisc.discId(), entryOf(kDisc, "A / B", {"One", "Two"}));
  testing_support::LookupWindow w(
      drives({simDrive("SIM", kDisc.tracksJson(), R"("audio": {"generator": "sine"})")}),
      server.address());
  ASSERT_NO_FATAL_FAILURE(startHeldLookup(server, w));
  ASSERT_TRUE(server.kill());
  const auto killed = Clock::now();
  ASSERT_TRUE(w.runUntilStatus("Ready"));
  EXPECT_LT(Clock::now() - killed, kLookupBound);
  expectNothingApplied(w, {"Track 01", "Track 02"});

  testing_support::TempDir out;
  std::string folder = out.path();
  std::replace(folder.begin(), folder.end(), '/', '\\');
  ASSERT_TRUE(w.setItem("Use Output Folder", "1"));
  ASSERT_TRUE(w.setItem("Output Folder", "Z:" + folder));
  ASSERT_TRUE(w.button("Copy All").userClick());
  ASSERT_TRUE(w.driver().runUntil([&] { return !w.button("Cancel copying").enabled(); },
                                  std::chrono::seconds(60)));
  const std::string album = "Unknown Artist - Unknown Album/";
  EXPECT_EQ(filesBelow(out.path()), (Strings{album + "01. Track 01.mp3", album + "02. Track 02.mp3"}));
  EXPECT_NEAR(decodedFrames(out.file(album + "02. Track 02.mp3")), 45 * kFramesPerSector,
              kFramesPerSector);
}

// Survives a redirect loop (a server sending the client to itself, and two
// servers sending it to each other): "Ready", nothing applied, and the
// client gives up after at most 5 redirects.
TEST(ServerDrill, RedirectLoopsEndAfterABoundedNumberOfRequests) {
  for (const bool twoServers : {false, true}) {
    SCOPED_TRACE(twoServers ? "two servers" : "one server");
    const std::uint16_t first = testing_support::freeTcpPort();
    std::uint16_t second = testing_support::freeTcpPort();
    while (second == first) second = testing_support::freeTcpPort();
    const auto url = [](std::uint16_t port) {
      return "http://127.0.0.1:" + std::to_string(port) + "/~cddb/cddb.cgi";
    };
    CddbServer a({"--redirect", url(twoServers ? second : first)}, first);
    ASSERT_TRUE(a.running());
    std::optional<CddbServer> b;
    if (twoServers) {
      b.emplace(Strings{"--redirect", url(first)}, second);
      ASSERT_TRUE(b->running());
    }
    testing_support::LookupWindow w(drives({simDrive("SIM", kDisc.tracksJson())}), a.address());
    ASSERT_NO_FATAL_FAILURE(expectLookupEndsWithNothing(w));
    // The query, then the 5 redirects the client follows; no read follows.
    const std::size_t requests = a.requestCount() + (b ? b->requestCount() : 0);
    EXPECT_EQ(requests, 6u);
    if (b) {
      EXPECT_FALSE(b->requests().empty());
    }
  }
}

// Survives a server that never closes: the lookup ends "Ready" within the
// time-outs; the next disc is looked up against a good server and applied.
TEST(ServerDrill, NeverClosingServerThenTheNextDiscAgainstAGoodOne) {
  CddbServer stuck({"--never-close"});
  CddbServer good;
  ASSERT_TRUE(stuck.running());
  ASSERT_TRUE(good.running());
  stuck.add("rock", kDisc.discId(), entryOf(kDisc, "Stuck / Disc", {"s1", "s2"}));
  good.add("misc", kNextDisc.discId(), entryOf(kNextDisc, "Good / Disc", {"g1", "g2", "g3"}));
  testing_support::LookupWindow w(
      drives({simDrive("First", kDisc.tracksJson()), simDrive("Second", kNextDisc.tracksJson())}),
      stuck.address());
  ASSERT_TRUE(w.setDevice("First"));
  ASSERT_NO_FATAL_FAILURE(expectLookupEndsWithNothing(w));

  ASSERT_TRUE(w.setItem("Freedb Server", good.address()));
  ASSERT_TRUE(w.setDevice("Second"));
  ASSERT_TRUE(w.tick());
  EXPECT_EQ(w.status().text(), "Querying freedb...");
  ASSERT_TRUE(w.runUntilStatus("Ready"));
  EXPECT_EQ(w.items(), Strings{"Good / Disc [misc]"});
  EXPECT_EQ(w.edit("Artist").text(), "Good");
  EXPECT_EQ(w.column(2), (Strings{"g1", "g2", "g3"}));
}

// Survives the window closing mid-lookup: the process (no crash), no thread
// left waiting on the server; the close does not wait for a time-out.
TEST(WindowDrill, WindowClosedDuringALookup) {
  CddbServer server({"--delay", "60000"});
  ASSERT_TRUE(server.running());
  server.add("rock", kDisc.discId(), entryOf(kDisc, "A / B", {"1", "2"}));
  testing_support::LookupWindow w(drives({simDrive("SIM", kDisc.tracksJson())}), server.address());
  const int threadsBefore = threadBaseline();
  ASSERT_NO_FATAL_FAILURE(startHeldLookup(server, w));
  const auto start = Clock::now();
  w.hide();
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(threadsBackTo(threadsBefore));
}
