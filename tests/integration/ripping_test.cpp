// Ripping through the main window with the real component, drive library
// and encoders: the job starter, the status cells, the files and their
// names, errors, cancel and eject. (The window going mid-rip:
// WindowDrill.WindowClosedDuringARip.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "lookup_fixture.h"
#include "main_window_fixture.h"
#include "sdk/ui/icon_button.h"
#include "support/run_command.h"
#include "unit/cdr/cdr_loader.h"

using namespace testing_support;
using Strings = std::vector<std::string>;

TEST(Ripping, HundredSectorTrackShowsEachPercentThenCopied) {
  RipFixture f(drives({simDrive("SIM", tracks({100}), kSine)}));
  // Ask through the folder browser this time.
  ASSERT_TRUE(f.set("Use Output Folder", "0"));
  std::string askedTitle;
  int asked = 0;
  f.session().host().folderBrowser().setHandler([&](const std::string& title) -> std::optional<std::string> {
    askedTitle = title;
    return ++asked == 1 ? std::nullopt : std::optional<std::string>(f.out().path());
  });
  ASSERT_TRUE(f.showReady());

  // Cancelled browser: nothing queued, nothing changes.
  ASSERT_TRUE(f.button("Copy Selected").userClick());
  EXPECT_EQ(askedTitle, "Select output folder.");
  EXPECT_TRUE(f.button("Copy Selected").enabled());
  EXPECT_FALSE(f.button("Cancel copying").enabled());
  EXPECT_EQ(f.cellStatus(0), "");

  ASSERT_TRUE(f.button("Copy Selected").userClick());
  EXPECT_FALSE(f.button("Copy Selected").enabled());
  EXPECT_FALSE(f.button("Copy All").enabled());
  ASSERT_TRUE(f.waitIdle());
  EXPECT_EQ(f.loop().statuses(1),
            (Strings{"Copying 0%...", "Copying 12%...", "Copying 24%...", "Copying 36%...",
                     "Copying 48%...", "Copying 60%...", "Copying 72%...", "Copying 84%...",
                     "Copying 96%...", "Copying 100%...", "Copied"}));
  EXPECT_TRUE(f.button("Copy Selected").enabled());
  EXPECT_TRUE(f.button("Copy All").enabled());
  EXPECT_EQ(f.filesWritten(), Strings{"Unknown Artist - Track 01.mp3"});
  EXPECT_EQ(f.window()->property("rip.file.1"),
            RipFixture::windowsForm(f.outFile("Unknown Artist - Track 01.mp3")));
  EXPECT_EQ(f.window()->property("rip.status.1"), "Copied");
  f.session().host().folderBrowser().setHandler(nullptr);
}

TEST(Ripping, CopyAllWritesFilesNamedByTheDefaultPatterns) {
  RipFixture f(drives({simDrive("SIM", tracks({300, 150, 75}), kSine)}));
  ASSERT_TRUE(f.showReady());
  ASSERT_TRUE(f.button("Copy All").userClick());
  // The jobs carry their own copies: an edit after the command changes none.
  f.edit("Album").setText("Changed Later");
  ASSERT_TRUE(f.waitIdle());
  EXPECT_EQ(f.filesWritten(), (Strings{"Unknown Artist - Unknown Album/01. Track 01.mp3",
                                       "Unknown Artist - Unknown Album/02. Track 02.mp3",
                                       "Unknown Artist - Unknown Album/03. Track 03.mp3"}));
  // Nor the tags, which the job renders apart from the name.
  const auto id3 = runCommand({findProgram("id3v2"), "-l", f.outFile("Unknown Artist - Unknown Album/02. Track 02.mp3")});
  ASSERT_EQ(id3.exitCode, 0) << id3.err;
  EXPECT_NE(id3.out.find("Unknown Album"), std::string::npos) << id3.out;
  EXPECT_EQ(id3.out.find("Changed Later"), std::string::npos) << id3.out;

  // One artist differs (letter case alone would not): the third pattern;
  // two rows selected: only they, with the first pattern.
  f.list().setCell(1, 1, "Guest");
  f.list().setCell(2, 1, "UNKNOWN ARTIST");
  ASSERT_TRUE(f.button("Copy All").userClick());
  ASSERT_TRUE(f.waitIdle());
  f.list().clearSelection();
  f.list().setSelected(0, true);
  f.list().setSelected(2, true);
  ASSERT_TRUE(f.button("Copy Selected").userClick());
  ASSERT_TRUE(f.waitIdle());
  EXPECT_EQ(f.filesWritten(), (Strings{"Changed Later/01. Unknown Artist - Track 01.mp3",
                                       "Changed Later/02. Guest - Track 02.mp3",
                                       "Changed Later/03. UNKNOWN ARTIST - Track 03.mp3",
                                       "UNKNOWN ARTIST - Track 03.mp3",
                                       "Unknown Artist - Track 01.mp3",
                                       "Unknown Artist - Unknown Album/01. Track 01.mp3",
                                       "Unknown Artist - Unknown Album/02. Track 02.mp3",
                                       "Unknown Artist - Unknown Album/03. Track 03.mp3"}));
}

TEST(Ripping, AFailedJobShowsItsErrorAndTheNextOneRuns) {
  // Every read of track 1's first block fails; "Eject" on ejects once, after
  // the last job.
  RipFixture f(drives({simDrive("SIM", tracks({30, 30}),
                                R"("read_failures": [{"sector": 5}], "audio": {"generator": "sine"})")}));
  ASSERT_TRUE(f.set("Eject", "1"));
  ASSERT_TRUE(f.showReady());
  ASSERT_TRUE(f.button("Copy All").userClick());
  ASSERT_TRUE(f.waitIdle());
  EXPECT_EQ(f.loop().statuses(1).back(), "Error: ReadCDDA() failed!");
  EXPECT_EQ(f.loop().statuses(2).back(), "Copied");
  EXPECT_EQ(f.filesWritten(), Strings{"Unknown Artist - Unknown Album/02. Track 02.mp3"});
  // The drive was ejected at the end: the next poll finds no disc.
  ASSERT_TRUE(f.runUntil([&] { return f.status().text() == "No Disc"; }));
}

TEST(Ripping, ADiscSwappedBetweenQueuedJobsIsNeverRead) {
  // Three short tracks are listed; as the first job ends "Copied" (on the
  // worker's thread, before the next job starts) the disc is taken out, or
  // another disc is put in whose sectors cover the old ranges. The jobs
  // were queued from the first disc's rows.
  const std::string first = simDrive("SIM", tracks({12, 12, 12}), kSine);
  const std::string other = simDrive("SIM", tracks({20, 20}), kSine);
  std::string why;
  const cdr_test::CdrApi* cdr = cdr_test::loadApi(why);  // the library the component loaded
  ASSERT_NE(cdr, nullptr) << why;
  const struct {
    const char* what;
    std::function<void()> change;
  } kChanges[] = {
      {"taken out", [&] { cdr->Eject(0); }},
      {"swapped",
       [&] {
         std::ofstream(std::getenv("CDR_CONFIG"), std::ios::trunc) << drives({other}).text;
         cdr->Initialize2(0, 1);  // the same drive, now with the other disc
       }},
  };
  for (const auto& c : kChanges) {
    SCOPED_TRACE(c.what);
    RipFixture f(drives({first}));
    ASSERT_TRUE(f.showReady());
    f.loop().onStatus = [&](std::uint32_t track, const std::string& status) {
      if (track == 1 && status == "Copied") c.change();
    };
    ASSERT_TRUE(f.button("Copy All").userClick());
    ASSERT_TRUE(f.waitIdle());
    // The properties, not the cells: the poll runs while the loop waits and
    // may empty the list once the disc is out.
    EXPECT_EQ(f.window()->property("rip.status.1"), "Copied");
    for (const char* track : {"2", "3"}) {
      EXPECT_EQ(f.window()->property(std::string("rip.status.") + track), "Error: Disc changed!");
      EXPECT_EQ(f.window()->property(std::string("rip.file.") + track), "");
    }
    EXPECT_EQ(f.filesWritten(), Strings{"Unknown Artist - Unknown Album/01. Track 01.mp3"});
  }
}

TEST(Ripping, ANetworkShareAsOutputFolderEndsEachJobWithItsStatus) {
  RipFixture f(drives({simDrive("SIM", tracks({12, 12}), kSine)}));
  ASSERT_TRUE(f.set("Output Folder", "\\\\server\\music"));
  ASSERT_TRUE(f.showReady());
  ASSERT_TRUE(f.button("Copy All").userClick());
  ASSERT_TRUE(f.waitIdle());
  for (std::uint32_t track : {1u, 2u})
    EXPECT_EQ(f.loop().statuses(track), (Strings{"Copying 0%...", "Error: Output Folder is a network share!"}));
  EXPECT_TRUE(f.filesWritten().empty());
}

TEST(Ripping, CancelDuringTheThirdOfFiveJobsDropsTheRestWithoutEject) {
  // Track 3 is long and the drive slow, so the cancel lands while it runs.
  RipFixture f(drives({simDrive("SIM", tracks({12, 12, 3000, 12, 12}),
                                R"("speed": 8, "audio": {"generator": "sine"})")}));
  ASSERT_TRUE(f.set("Eject", "1"));
  ASSERT_TRUE(f.showReady());
  // The rows still say what an earlier copy left: queueing clears them, so
  // the dropped jobs' rows show nothing rather than that older result.
  for (int r = 0; r < 5; ++r) f.list().setCell(r, rondel::window::kColumnStatus, "Copied");
  ASSERT_TRUE(f.button("Copy All").userClick());
  ASSERT_TRUE(f.runUntil([&] { return f.cellStatus(2).rfind("Copying", 0) == 0; }));
  ASSERT_TRUE(f.button("Cancel copying").userClick());
  ASSERT_TRUE(f.waitIdle());
  EXPECT_EQ(f.loop().statuses(1).back(), "Copied");
  EXPECT_EQ(f.loop().statuses(2).back(), "Copied");
  EXPECT_EQ(f.loop().statuses(3).back(), "Cancelled");
  // Tracks 4 and 5 got no text of this copy (the earlier "Copied" only).
  EXPECT_EQ(f.loop().statuses(4), Strings{"Copied"});
  EXPECT_EQ(f.loop().statuses(5), Strings{"Copied"});
  EXPECT_EQ(f.cellStatus(2), "Cancelled");
  EXPECT_EQ(f.cellStatus(3), "");
  EXPECT_EQ(f.cellStatus(4), "");
  EXPECT_TRUE(f.button("Copy All").enabled());
  EXPECT_TRUE(f.button("Copy Selected").enabled());
  // No broken file of track 3. (No eject after a cancel, and a next copy
  // that runs: WindowDrill.CancelDuringTheLastBlockStillCopiesTheTrack.)
  EXPECT_EQ(f.filesWritten().size(), 2u);
}

TEST(Ripping, ACopyCommandWhileJobsRunIsIgnored_TheButtonsStayOffTillItEnds) {
  RipFixture f(drives({simDrive("SIM", tracks({450, 12}),
                                R"("speed": 8, "readiness": [0, 7, 0], "audio": {"generator": "sine"})")}));
  ASSERT_TRUE(f.showReady());
  ASSERT_TRUE(f.button("Copy Selected").userClick());  // row 0 is selected
  ASSERT_TRUE(f.runUntil([&] { return !f.cellStatus(0).empty(); }));
  // The disc goes and comes back while the copy runs: it is listed again,
  // but the copy buttons stay off until the copy ends.
  ASSERT_TRUE(f.tick());
  ASSERT_TRUE(f.tick());
  EXPECT_EQ(f.status().text(), "Ready");
  EXPECT_FALSE(f.button("Copy All").enabled());
  EXPECT_FALSE(f.button("Copy Selected").enabled());
  EXPECT_TRUE(f.button("Cancel copying").enabled());
  // Even a click on a button forced on starts no second worker and queues
  // nothing.
  f.button("Copy All").setEnabled(true);
  ASSERT_TRUE(f.button("Copy All").userClick());
  ASSERT_TRUE(f.waitIdle());
  EXPECT_TRUE(f.button("Copy All").enabled());
  EXPECT_TRUE(f.button("Copy Selected").enabled());
  EXPECT_EQ(f.loop().statuses(1).back(), "Copied");
  EXPECT_TRUE(f.loop().statuses(2).empty());
  EXPECT_EQ(f.filesWritten(), Strings{"Unknown Artist - Track 01.mp3"});
}

// The launcher icon clicked twice while a copy runs (hide, show) brings back
// the same window: the copy goes on to its last track, a title typed before
// is in the row and the file name, and the disc is not looked up again.
TEST(Ripping, HidingAndShowingTheWindowDuringACopyLosesNothing) {
  const DiscLayout disc{{600, 150, 150}};
  CddbServer server;
  ASSERT_TRUE(server.running());
  const std::string id = disc.discId();
  server.add("rock", id, xmcdEntry(disc, id, "Band / Album", {"One", "Two", "Three"}));
  LookupWindow w(drives({simDrive("SIM", disc.tracksJson(), R"("speed": 8, "audio": {"generator": "sine"})")}),
                 server.address());
  const TempDir out;
  ASSERT_TRUE(w.setItem("Use Output Folder", "1"));
  ASSERT_TRUE(w.setItem("Output Folder", RipFixture::windowsForm(out.path())));
  ASSERT_TRUE(w.lookUpUntilReady());
  ASSERT_EQ(w.list().cell(1, rondel::window::kColumnTrack), "Two");
  const std::size_t lookups = server.requestCount();

  w.list().userClickRow(1);
  w.edit("Track").selectAll();
  w.edit("Track").userType("Typed");
  ASSERT_EQ(w.list().cell(1, rondel::window::kColumnTrack), "Typed");
  qom::ui::Window* const window = w.window();
  ASSERT_TRUE(w.button("Copy All").userClick());
  const auto status = [&](int row) { return w.list().cell(row, rondel::window::kColumnStatus); };
  ASSERT_TRUE(w.runUntil([&] { return status(0).rfind("Copying", 0) == 0; }));

  // The component's own launcher icon, clicked as the bar's button is.
  w.windowHost().buildLauncherBar();
  ASSERT_EQ(w.windowHost().launcherBar().children().size(), 1u);
  auto* icon = qom::ui::windowAs<qom::ui::IconButton>(w.windowHost().launcherBar().children()[0]);
  ASSERT_NE(icon, nullptr);
  qomhost::HostCore& host = w.session().host();
  icon->onLeftPush();
  EXPECT_FALSE(host.isWindowShown(kRondelGuid));
  EXPECT_FALSE(icon->activated());
  ASSERT_EQ(w.window(), window) << "hiding destroyed the window";
  for (int t = 0; t < 3; ++t) ASSERT_TRUE(w.tick());  // the poll goes on while hidden
  icon->onLeftPush();
  ASSERT_EQ(w.window(), window) << "showing made a new window";
  EXPECT_TRUE(host.isWindowShown(kRondelGuid));
  EXPECT_TRUE(icon->activated());

  ASSERT_TRUE(w.runUntil([&] { return !w.button("Cancel copying").enabled(); }));
  EXPECT_EQ(w.column(rondel::window::kColumnStatus), (Strings{"Copied", "Copied", "Copied"}));
  EXPECT_EQ(filesBelow(out.path()), (Strings{"Band - Album/01. One.mp3", "Band - Album/02. Typed.mp3", "Band - Album/03. Three.mp3"}));
  EXPECT_EQ(w.list().cell(1, rondel::window::kColumnTrack), "Typed");
  EXPECT_EQ(w.items().size(), 1u);
  EXPECT_EQ(server.requestCount(), lookups) << server.requests();
}
