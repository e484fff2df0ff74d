// The main window following simulated drives: poll states and their texts,
// reading the table of contents, the rows of audio tracks, a disc that goes
// and comes back, and the drive changed from another thread (changes from
// the window's side: ComponentLifecycle.DeviceChangeSelectsTheNamedDrive...).
#include <atomic>
#include <thread>

#include "main_window_fixture.h"

using namespace testing_support;
using Strings = std::vector<std::string>;

namespace {

struct DiscView {
  Strings numbers, artists, titles, lengths;
  std::vector<std::uint32_t> itemData;
  bool copyEnabled;
};

DiscView view(MainWindowFixture& f) {
  DiscView v{f.column(0), f.column(1), f.column(2), f.column(3), {},
             f.button("Copy All").enabled()};
  for (int r = 0; r < f.list().rowCount(); ++r) v.itemData.push_back(f.list().itemData(r));
  EXPECT_EQ(f.button("Copy Selected").enabled(), v.copyEnabled);
  return v;
}

// The status reads `status` and the window lists nothing to copy.
void expectNothingListed(MainWindowFixture& f, const char* status) {
  EXPECT_EQ(f.status().text(), status);
  EXPECT_EQ(f.list().rowCount(), 0);
  EXPECT_FALSE(view(f).copyEnabled);
  EXPECT_EQ(f.edit("Album").text(), "");
}

}  // namespace

TEST(MainWindowPoll, StatesShowTheirTextsAndAReadyDiscIsListedOnce) {
  MainWindowFixture f(drives({simDrive("SIM", kTwoTracks, R"("readiness": [4, 12, 12, 0])")}));
  ASSERT_TRUE(f.show());
  EXPECT_EQ(f.driver().timerPeriod(f.window(), 1), 500);
  EXPECT_EQ(f.status().text(), "");
  EXPECT_EQ(f.container()->title(), "Rondel 2");

  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.status().text(), "Not Ready");
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.status().text(), "Reading Table Of Contents...");
  EXPECT_EQ(f.list().rowCount(), 0);
  EXPECT_FALSE(f.button("Copy All").enabled());

  ASSERT_TRUE(f.tick());
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.status().text(), "Ready");  // "Use Freedb" is off
  DiscView v = view(f);
  EXPECT_EQ(v.numbers, (Strings{"01.", "02."}));
  EXPECT_EQ(v.artists, (Strings{"Unknown Artist", "Unknown Artist"}));
  EXPECT_EQ(v.titles, (Strings{"Track 01", "Track 02"}));
  EXPECT_EQ(v.lengths, (Strings{"2:56", "2:00"}));
  EXPECT_EQ(v.itemData, (std::vector<std::uint32_t>{1, 2}));
  EXPECT_TRUE(v.copyEnabled);
  EXPECT_FALSE(f.button("Cancel copying").enabled());
  EXPECT_EQ(f.list().selectedRows(), std::vector<int>{0});
  EXPECT_EQ(f.list().focusedRow(), 0);
  EXPECT_EQ(f.list().visibleRowRequest(), 0);
  EXPECT_EQ(f.edit("Artist").text(), "Unknown Artist");
  EXPECT_EQ(f.edit("Album").text(), "Unknown Album");
  EXPECT_EQ(f.edit("Track").text(), "Track 01");
  EXPECT_EQ(f.edit("Year").text(), "");
  EXPECT_EQ(f.edit("Genre").text(), "");
  EXPECT_EQ(f.entries().shownText(), "No freedb entries");
  EXPECT_TRUE(f.entries().items().empty());

  // A disc that stays in is not read again: the user's edit survives.
  f.list().setCell(1, 2, "Kept");
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.list().cell(1, 2), "Kept");
}

TEST(MainWindowPoll, TableOfContentsIsTriedFiveTimes_AnotherDrivesRowsNeverStay) {
  // Four failures: the fifth attempt lists the disc in the same tick. Five:
  // nothing is listed and the status says why, until the drive's state
  // changes. A drive that keeps becoming ready lists nothing either: the
  // other drive's rows went with the change of drive.
  MainWindowFixture f(drives({simDrive("Four", kTwoTracks, R"("toc_failures": 4)"),
                              simDrive("Five", kThreeTracks,
                                       R"("toc_failures": 5, "readiness": [0, 0, 7, 0])"),
                              simDrive("Never Ready", kThreeTracks, R"("readiness": [12])")}));
  ASSERT_TRUE(f.showAndTick());
  EXPECT_EQ(f.list().rowCount(), 2);

  ASSERT_TRUE(f.setDevice("Never Ready"));
  ASSERT_TRUE(f.tick());
  expectNothingListed(f, "Reading Table Of Contents...");
  ASSERT_TRUE(f.tick());
  expectNothingListed(f, "Reading Table Of Contents...");

  ASSERT_TRUE(f.setDevice("Four"));
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.list().rowCount(), 2);
  ASSERT_TRUE(f.setDevice("Five"));
  ASSERT_TRUE(f.tick());
  expectNothingListed(f, "Cannot Read Disc");
  ASSERT_TRUE(f.tick());  // still ready: no further attempt
  expectNothingListed(f, "Cannot Read Disc");
  ASSERT_TRUE(f.tick());
  expectNothingListed(f, "No Disc");
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.status().text(), "Ready");
  EXPECT_EQ(f.list().rowCount(), 3);
  EXPECT_TRUE(view(f).copyEnabled);
}

TEST(MainWindowPoll, DataTracksAreSkippedWithoutGaps) {
  struct Case {
    const char* tracks;
    Strings numbers, titles;
    std::vector<std::uint32_t> itemData;
  };
  const Case cases[] = {
      {R"([{"sectors": 9000, "data": true}, {"sectors": 4500}, {"sectors": 4500}])",
       {"02.", "03."}, {"Track 02", "Track 03"}, {2, 3}},
      {R"([{"sectors": 4500}, {"sectors": 4500}, {"sectors": 9000, "data": true}])",
       {"01.", "02."}, {"Track 01", "Track 02"}, {1, 2}},
      {R"([{"sectors": 9000, "data": true}])", {}, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.tracks);
    MainWindowFixture f(drives({simDrive("SIM", c.tracks)}));
    ASSERT_TRUE(f.showAndTick());
    DiscView v = view(f);
    EXPECT_EQ(v.numbers, c.numbers);
    EXPECT_EQ(v.titles, c.titles);
    EXPECT_EQ(v.itemData, c.itemData);
    EXPECT_EQ(v.lengths, Strings(c.numbers.size(), "1:00"));
    // A disc of data tracks only lists nothing, yet it is a disc to copy from.
    EXPECT_TRUE(v.copyEnabled);
    EXPECT_EQ(f.edit("Artist").text(), "Unknown Artist");
    EXPECT_EQ(f.edit("Track").text(), c.titles.empty() ? "" : c.titles.front());
  }
}

TEST(MainWindowPoll, EjectEmptiesTheWindowAndReinsertReadsAgain) {
  // Ready, gone (no disc), back, then a drive that stops answering.
  MainWindowFixture f(drives({simDrive("SIM", kTwoTracks, R"("readiness": [0, 7, 0, 4])")}));
  ASSERT_TRUE(f.showAndTick());
  f.edit("Year").setText("1999");
  f.edit("Artist").userType("X");
  ASSERT_EQ(f.list().cell(0, 1), "Unknown ArtistX");

  ASSERT_TRUE(f.tick());
  expectNothingListed(f, "No Disc");
  for (const char* name : {"Artist", "Track", "Year", "Genre"})
    EXPECT_EQ(f.edit(name).text(), "") << name;

  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.status().text(), "Ready");
  EXPECT_EQ(view(f).artists, (Strings{"Unknown Artist", "Unknown Artist"}));
  EXPECT_TRUE(view(f).copyEnabled);

  ASSERT_TRUE(f.tick());
  expectNothingListed(f, "Not Ready");
}

TEST(MainWindowPoll, WithoutDrivesTheWindowHasNoPoll) {
  MainWindowFixture f(drives({}));
  ASSERT_TRUE(f.show());
  EXPECT_EQ(f.driver().timerPeriod(f.window(), 1), 0);
  EXPECT_FALSE(f.tick());
  EXPECT_EQ(f.list().rowCount(), 0);
  EXPECT_FALSE(view(f).copyEnabled);
  f.edit("Artist").userType("A");  // editing an empty list changes nothing
  f.edit("Artist").userEnter();
  EXPECT_EQ(f.list().rowCount(), 0);
  EXPECT_EQ(f.edit("Artist").text(), "A");
}

TEST(MainWindowPoll, DeviceChangesFromAnotherThreadWhileTheWindowComesAndGoes) {
  MainWindowFixture f(drives({simDrive("A", kTwoTracks), simDrive("B", kThreeTracks)}));
  std::atomic<bool> stop{false};
  std::atomic<int> changes{0};
  std::thread changer([&] {
    for (int i = 0; !stop.load(); ++i) {
      f.setDevice(i % 2 == 0 ? "A" : "B");
      changes.fetch_add(1);
    }
  });
  // Stops and joins the changer on every way out, failed assertions too.
  struct Joiner {
    std::atomic<bool>& stop;
    std::thread& thread;
    ~Joiner() {
      stop.store(true);
      if (thread.joinable()) thread.join();
    }
  } joiner{stop, changer};
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(f.show());
    for (int t = 0; t < 3; ++t) ASSERT_TRUE(f.tick());
    const int rows = f.list().rowCount();
    EXPECT_TRUE(rows == 2 || rows == 3) << rows;
    f.hide();  // the callback may be selecting in the window right now
  }
  // Make sure the other thread really ran alongside before stopping it.
  const int seen = changes.load();
  f.driver().runUntil([&] { return changes.load() > seen; }, std::chrono::seconds(10));
  EXPECT_GT(changes.load(), seen);
}
