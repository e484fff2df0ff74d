// The lookup through the real rondel.qom against the real cddb-server: the
// replies 200, 210, 211 and 202, a failed read, an empty server setting,
// the user's picks, and lookups racing with picks and a disc change.
// (Servers that never answer or never close, and the window going
// mid-lookup: tests/e2e/drills and HostileLookup.)
#include <chrono>
#include <thread>

#include "lookup_fixture.h"

using namespace testing_support;
using Strings = std::vector<std::string>;

namespace {

const DiscLayout kDisc{{13230, 9000}};
const DiscLayout kOtherDisc{{13230, 9000, 4500}};

DrivesJson oneDrive() { return drives({simDrive("SIM", kDisc.tracksJson())}); }

TEST(Lookup, ExactMatchIsOfferedAndApplied) {
  CddbServer server;
  ASSERT_TRUE(server.running());
  const std::string id = kDisc.discId();
  server.add("rock", id, xmcdEntry(kDisc, id, "The Artist / The Album", {"One", "Two"}, "1999", "Rock"));
  LookupWindow f(oneDrive(), server.address());
  ASSERT_TRUE(f.showAndTick());
  EXPECT_EQ(f.status().text(), "Querying freedb...");
  ASSERT_TRUE(f.runUntilStatus("Ready"));

  EXPECT_EQ(f.items(), Strings{"The Artist / The Album [rock]"});
  EXPECT_EQ(f.entries().shownText(), "The Artist / The Album [rock]");
  EXPECT_EQ(f.edit("Artist").text(), "The Artist");
  EXPECT_EQ(f.edit("Album").text(), "The Album");
  EXPECT_EQ(f.edit("Year").text(), "1999");
  EXPECT_EQ(f.edit("Genre").text(), "Rock");
  EXPECT_EQ(f.edit("Track").text(), "One");
  EXPECT_EQ(f.column(1), (Strings{"The Artist", "The Artist"}));
  EXPECT_EQ(f.column(2), (Strings{"One", "Two"}));
  // What was sent, as the server logged it and as the window tells it (in
  // the form other HTTP clients read: the server setting's own port, not
  // the ":80" the address appends).
  const std::string query = "?cmd=cddb+query+" + id + "+2+150+13380+298&hello=tester+example.org"
                            "+tavlo3rondel+2&proto=5";
  EXPECT_EQ(f.window()->property("freedb.discid"), id);
  EXPECT_EQ(f.window()->property("freedb.query"), "http://" + server.address() + "/~cddb/cddb.cgi" + query);
  EXPECT_NE(server.requests().find("/~cddb/cddb.cgi" + query), std::string::npos) << server.requests();
}

TEST(Lookup, SeveralMatchesAFailedReadAndTheUsersPick) {
  const std::string id = kDisc.discId();
  CddbServer server({"--fail-read", "misc/" + id});
  ASSERT_TRUE(server.running());
  server.add("jazz", id, xmcdEntry(kDisc, id, "J / Jazz Album", {"J1", "J2"}));
  server.add("misc", id, xmcdEntry(kDisc, id, "M / Misc Album", {"M1", "M2"}));
  server.add("rock", id, xmcdEntry(kDisc, id, "R / Rock Album", {"R1", "R2"}, "2001"));
  LookupWindow f(oneDrive(), server.address());
  ASSERT_TRUE(f.lookUpUntilReady());
  // The server lists jazz, misc, rock; the misc read fails.
  ASSERT_EQ(f.items(), (Strings{"J / Jazz Album [jazz]", "R / Rock Album [rock]"}));
  EXPECT_EQ(f.column(2), (Strings{"J1", "J2"}));
  EXPECT_EQ(f.edit("Year").text(), "");

  ASSERT_TRUE(f.entries().userPick(1));
  f.driver().runPending();
  EXPECT_EQ(f.entries().shownText(), "R / Rock Album [rock]");
  EXPECT_EQ(f.edit("Artist").text(), "R");
  EXPECT_EQ(f.edit("Year").text(), "2001");
  EXPECT_EQ(f.column(2), (Strings{"R1", "R2"}));
}

TEST(Lookup, InexactNoMatchAndNoServer) {
  CddbServer server;
  ASSERT_TRUE(server.running());
  {  // 211: an entry of another id whose layout is within the tolerance.
    server.add("folk", "0abcdef0", xmcdEntry(kDisc, "0abcdef0", "Near / Enough", {"N1", "N2"}));
    LookupWindow f(oneDrive(), server.address());
    ASSERT_TRUE(f.lookUpUntilReady());
    EXPECT_EQ(f.items(), Strings{"Near / Enough [folk]"});
    EXPECT_EQ(f.column(2), (Strings{"N1", "N2"}));
  }
  for (const bool emptyServer : {false, true}) {
    // 202 for a disc the folder lacks; nothing for an empty server name.
    SCOPED_TRACE(emptyServer ? "empty server" : "202");
    LookupWindow f(drives({simDrive("SIM", kOtherDisc.tracksJson())}),
                   emptyServer ? "" : server.address());
    ASSERT_TRUE(f.lookUpUntilReady());
    EXPECT_TRUE(f.items().empty());
    EXPECT_EQ(f.entries().shownText(), "No freedb entries");
    EXPECT_EQ(f.edit("Artist").text(), "Unknown Artist");
    EXPECT_EQ(f.column(2), (Strings{"Track 01", "Track 02", "Track 03"}));
  }
}

TEST(Lookup, RacesWithPicksAndADiscChange) {
  const std::string id = kDisc.discId(), otherId = kOtherDisc.discId();
  CddbServer server({"--delay", "30"});
  ASSERT_TRUE(server.running());
  for (const char* category : {"blues", "jazz", "rock"})
    server.add(category, id, xmcdEntry(kDisc, id, std::string("Old / ") + category, {"o1", "o2"}));
  server.add("misc", otherId, xmcdEntry(kOtherDisc, otherId, "New / Disc", {"n1", "n2", "n3"}));
  LookupWindow f(drives({simDrive("First", kDisc.tracksJson()),
                         simDrive("Second", kOtherDisc.tracksJson())}),
                 server.address());
  ASSERT_TRUE(f.setDevice("First"));
  ASSERT_TRUE(f.showAndTick());
  // Pick whatever is there while the first lookup adds items; then change
  // the drive before it has finished.
  ASSERT_TRUE(f.driver().runUntil(
      [&] {
        const auto items = f.entries().items();
        if (!items.empty()) f.entries().userPick(items.back().id);
        return items.size() >= 1;
      },
      std::chrono::seconds(20)));
  ASSERT_TRUE(f.setDevice("Second"));
  ASSERT_TRUE(f.tick());
  ASSERT_TRUE(f.driver().runUntil(
      [&] {
        const auto items = f.entries().items();
        if (!items.empty()) f.entries().userPick(items.front().id);
        return f.status().text() == "Ready";
      },
      std::chrono::seconds(20)));
  // Whatever the old lookup managed to add, only the new disc's entry applies.
  EXPECT_EQ(f.column(2), (Strings{"n1", "n2", "n3"}));
  EXPECT_EQ(f.edit("Artist").text(), "New");
  for (const auto& item : f.entries().items())
    if (item.text.rfind("Old", 0) == 0) {
      f.entries().userPick(item.id);
      f.driver().runPending();
      EXPECT_EQ(f.column(2), (Strings{"n1", "n2", "n3"}));
    }
}

TEST(Lookup, ADiscThatGoesEndsItsLookup_EvenWithLookupsSwitchedOff) {
  // Each request waits 300 ms, so the lookup is still running when the disc
  // goes; nothing it finds may reach the window afterwards.
  const std::string id = kDisc.discId();
  CddbServer server({"--delay", "300"});
  ASSERT_TRUE(server.running());
  for (const char* category : {"blues", "rock"})
    server.add(category, id, xmcdEntry(kDisc, id, "Gone / Disc", {"1", "2"}));
  LookupWindow f(drives({simDrive("SIM", kDisc.tracksJson(), R"("readiness": [0, 7, 0])")}),
                 server.address());
  ASSERT_TRUE(f.show());
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.status().text(), "Querying freedb...");
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.status().text(), "No Disc");
  // Long enough for the query and both reads to have answered (no timer
  // runs meanwhile, so the disc stays out).
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  f.driver().runPending();
  EXPECT_TRUE(f.items().empty());
  EXPECT_EQ(f.status().text(), "No Disc");
  EXPECT_EQ(f.window()->property("freedb.discid"), "");

  // The disc is back with lookups off: the old lookup still writes nothing.
  ASSERT_TRUE(f.setItem("Use Freedb", "0"));
  ASSERT_TRUE(f.tick());
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  f.driver().runPending();
  EXPECT_EQ(f.status().text(), "Ready");
  EXPECT_TRUE(f.items().empty());
  EXPECT_EQ(f.edit("Artist").text(), "Unknown Artist");
}

}  // namespace
