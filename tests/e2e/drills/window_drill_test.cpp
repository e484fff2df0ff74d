// Drills on the window's life: a cancel that arrives during a track's last
// block, the window closed while a rip runs (closed mid-lookup: with the
// server drills), and `qomhost disc` signalled mid-lookup. What must survive: the finished
// files, the configuration, and nothing left running (thread counts; leaks
// show in the ASan build, where LeakSanitizer runs at exit).
#include <gtest/gtest.h>

#include "integration/lookup_fixture.h"
#include "window_drill.h"

using namespace drills;
using testing_support::CddbServer;
using testing_support::drives;
using testing_support::kSine;
using testing_support::simDrive;
using testing_support::tracks;
using Strings = std::vector<std::string>;

namespace {

const std::string kAlbum = "Unknown Artist - Unknown Album/";
constexpr const char* kOgg = "2: Ogg Vorbis [.ogg] - 112 kbit/s";

}  // namespace

// Survives a cancel in the last block: that track's complete file and its
// "Copied"; the later jobs are dropped, the disc stays in (no eject), and
// the next copy runs.
TEST(WindowDrill, CancelDuringTheLastBlockStillCopiesTheTrack) {
  DrillWindow w(drives({simDrive("SIM", tracks({36, 36, 36, 36}), kSine)}));
  ASSERT_TRUE(w.set("Eject", "1"));
  ASSERT_TRUE(w.showReady());
  // Track 2's last block has been read and compressed when the worker shows
  // 100%; the cancel click lands right then, before the stream is closed.
  w.arm(2, "Copying 100%...", [&] { w.button("Cancel copying").userClick(); });
  ASSERT_TRUE(w.button("Copy All").userClick());
  ASSERT_TRUE(w.waitIdle());
  ASSERT_TRUE(w.fired());

  EXPECT_EQ(w.trackStatus(1), "Copied");
  EXPECT_EQ(w.trackStatus(2), "Copied");
  EXPECT_EQ(w.trackStatus(3), "");
  EXPECT_EQ(w.trackStatus(4), "");
  EXPECT_EQ(filesBelow(w.out().path()), (Strings{kAlbum + "01. Track 01.mp3", kAlbum + "02. Track 02.mp3"}));
  EXPECT_NEAR(decodedFrames(w.outFile(kAlbum + "02. Track 02.mp3")), 36 * kFramesPerSector,
              kFramesPerSector);
  EXPECT_TRUE(w.button("Copy All").enabled());
  // No eject after a cancel: a poll tick later the disc is still there.
  ASSERT_TRUE(w.loop().driver.fireTimer(w.window(), 1));
  EXPECT_EQ(w.status().text(), "Ready");

  // The cancel does not carry over to the next copy.
  w.list().clearSelection();
  w.list().setSelected(3, true);
  ASSERT_TRUE(w.button("Copy Selected").userClick());
  ASSERT_TRUE(w.waitIdle());
  EXPECT_EQ(w.trackStatus(4), "Copied");
}

// Survives the window closing mid-rip: track 1's file, the configuration
// (byte for byte, and read back by a new session); every thread the window
// started has ended; no temporary file.
TEST(WindowDrill, WindowClosedDuringARip) {
  DrillWindow w(drives({simDrive("SIM", tracks({36, 3000, 36}), R"("speed": 8, )" + std::string(kSine))}));
  ASSERT_TRUE(w.set("Format", kOgg));
  const std::string config = w.configText();
  const int threadsBefore = threadBaseline();
  ASSERT_TRUE(w.showReady());
  ASSERT_TRUE(w.button("Copy All").userClick());
  ASSERT_TRUE(w.runUntil([&] { return w.trackStatus(2).rfind("Copying", 0) == 0; }));
  w.hide();  // destroys the window: joins the worker, which stops at its next block
  EXPECT_TRUE(threadsBackTo(threadsBefore));
  EXPECT_EQ(w.loop().statuses(2).back(), "Cancelled");
  EXPECT_TRUE(w.loop().statuses(3).empty());

  EXPECT_EQ(filesBelow(w.out().path()), Strings{kAlbum + "01. Track 01.ogg"});
  const auto decoded = testing_support::runCommand(
      {testing_support::findProgram("oggdec"), "-Q", "-R", "-o", "-", w.outFile(kAlbum + "01. Track 01.ogg")});
  ASSERT_EQ(decoded.exitCode, 0) << decoded.err;
  EXPECT_EQ(decoded.out.size(), 36u * 2352u);

  EXPECT_EQ(w.configText(), config);
  w.restartSession();
  EXPECT_EQ(w.value("Format"), kOgg);
  EXPECT_EQ(w.configText(), config);

  // A new window copies again from a clean state.
  ASSERT_TRUE(w.showReady());
  w.list().clearSelection();
  w.list().setSelected(2, true);
  ASSERT_TRUE(w.button("Copy Selected").userClick());
  ASSERT_TRUE(w.waitIdle());
  EXPECT_EQ(filesBelow(w.out().path()), (Strings{"Unknown Artist - Track 03.ogg", kAlbum + "01. Track 01.ogg"}));
}

// Survives `qomhost disc` stopped by SIGTERM or SIGINT while its lookup
// waits on a server: the configuration; the process ends at once, the way
// `qomhost rip` ends for both: exit 130 after saying what was known.
TEST(WindowDrill, QomhostDiscSignalledMidLookupEndsPromptly) {
  const testing_support::DiscLayout disc{{60, 45}};
  CddbServer server({"--delay", "60000"});
  ASSERT_TRUE(server.running());
  QomhostDrill q(R"({"drives": [{"type": "simulated", "name": "SIM", "tracks": )" + disc.tracksJson() + "}]}");
  q.set("Freedb Server", server.address());
  const std::string config = configText(q.configDir());
  for (const int sig : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(sig);
    const std::size_t seen = server.requestCount();
    ChildProcess qomhost(q.command({"disc", "--timeout", "60"}), q.log("disc.log"));
    ASSERT_TRUE(waitUntil([&] { return server.requestCount() > seen; })) << qomhost.log();
    ASSERT_TRUE(qomhost.signal(sig));
    const auto status = qomhost.waitExit(std::chrono::seconds(3));
    ASSERT_TRUE(status.has_value()) << "still running after the signal\n" << qomhost.log();
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 130) << shellCode(*status) << qomhost.log();
    EXPECT_NE(qomhost.log().find("interrupted while waiting for the disc"), std::string::npos) << qomhost.log();
  }
  q.expectConfigIntact(config, "Freedb Server", server.address());
}
