// Drills on `qomhost rip` as a user runs it: the disc pulled out mid-rip,
// the disk filling up mid-rip, and Ctrl-C mid-rip. Each checks what must
// survive: the files finished before the fault (decodable, full length), no
// half-written or temporary file, the queue's later jobs, the
// configuration, and the documented exit code.
#include <gtest/gtest.h>

#include "qomhost_drill.h"

using namespace drills;
using Strings = std::vector<std::string>;

namespace {

// One simulated drive with sine audio; `tracks` in sectors; `extra` more
// JSON members (faults, speed).
std::string simulated(const std::vector<int>& tracks, const std::string& extra) {
  std::string list;
  for (int s : tracks) list += (list.empty() ? "" : ", ") + std::string("{\"sectors\": ") + std::to_string(s) + "}";
  return R"({"drives": [{"type": "simulated", "name": "Drill", "tracks": [)" + list +
         R"(], "audio": {"generator": "sine"})" + (extra.empty() ? "" : ", " + extra) + "}]}";
}

const std::string kAlbum = "Unknown Artist - Unknown Album/";

}  // namespace

// Survives a pulled disc: track 1's file, the configuration, the process
// (exit 1, not a crash); the next job still runs; nothing half-written.
TEST(RipDrill, DiscPulledDuringTrackTwo) {
  // Track 1 takes 5 block reads at most; the 10th read (inside track 2's
  // 20) finds the tray open, and so does every read after it.
  QomhostDrill q(simulated({60, 240, 60}, R"("eject_after_reads": 10)"));
  q.set("Use Freedb", "0");
  const std::string config = configText(q.configDir());

  const auto r = q.run({"rip", "--all", "--output", q.out()});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find(" 1  Copied"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 2  Error: ReadCDDA() failed!"), std::string::npos) << r.out;
  // The next job starts; with the disc gone its first read fails too, so it
  // ends with the same error, writes nothing, and the queue ends there.
  EXPECT_NE(r.out.find(" 3  Error: ReadCDDA() failed!"), std::string::npos) << r.out;

  EXPECT_EQ(filesBelow(q.out()), Strings{kAlbum + "01. Track 01.mp3"});
  EXPECT_NEAR(decodedFrames(q.outFile(kAlbum + "01. Track 01.mp3")), 60 * kFramesPerSector,
              kFramesPerSector);
  q.expectConfigIntact(config, "Use Freedb", "0");
}

// Survives a full disk (a file-size limit on the process, which also
// applies to root): track 1's file, the configuration, the process
// (exit 1); the failing track ends with an error, not "Copied", leaves no
// broken or temporary file, and track 3 is still copied.
TEST(RipDrill, DiskFullDuringTrackTwo) {
  QomhostDrill q(simulated({60, 3000, 60}, ""));
  q.set("Use Freedb", "0");
  const std::string config = configText(q.configDir());
  // 0.8 s of audio at 112 kbit/s is about 14 KB; 40 s is about 560 KB.
  const std::string prlimit = testing_support::findProgram("prlimit");
  ASSERT_FALSE(prlimit.empty()) << "prlimit (util-linux) is needed";
  std::vector<std::string> argv = q.command({"rip", "--all", "--output", q.out()});
  argv.insert(argv.begin(), {prlimit, "--fsize=200000"});

  const auto r = testing_support::runCommand(argv);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find(" 1  Copied"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 2  Error: ACDICompress() failed!"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 3  Copied"), std::string::npos) << r.out;

  EXPECT_EQ(filesBelow(q.out()), (Strings{kAlbum + "01. Track 01.mp3", kAlbum + "03. Track 03.mp3"}));
  for (const char* file : {"01. Track 01.mp3", "03. Track 03.mp3"})
    EXPECT_NEAR(decodedFrames(q.outFile(kAlbum + file)), 60 * kFramesPerSector, kFramesPerSector)
        << file;
  q.expectConfigIntact(config, "Use Freedb", "0");
}

// Survives Ctrl-C: the process ends on its own with 130 once the running
// track has stopped; track 1's file, the configuration; no temporary file.
TEST(RipDrill, InterruptDuringTrackTwo) {
  // Track 2 takes 2 s at this speed; the signal lands while it runs.
  QomhostDrill q(simulated({60, 1500, 60}, R"("speed": 10)"));
  q.set("Use Freedb", "0");
  const std::string config = configText(q.configDir());

  ChildProcess rip(q.command({"rip", "--all", "--output", q.out()}), q.log("rip.log"));
  ASSERT_TRUE(rip.started());
  // Progress lines (not a terminal: one line per change) name the track.
  ASSERT_TRUE(waitUntil([&] { return rip.logHas(" 2  Track 02  ["); })) << rip.log();
  ASSERT_TRUE(rip.signal(SIGINT));
  const auto status = rip.waitExit(std::chrono::seconds(20));
  ASSERT_TRUE(status.has_value()) << "qomhost rip did not end after SIGINT\n" << rip.log();
  EXPECT_EQ(shellCode(*status), 130) << rip.log();
  EXPECT_NE(rip.log().find(" 2  Cancelled"), std::string::npos) << rip.log();
  EXPECT_NE(rip.log().find(" 3  Not started"), std::string::npos) << rip.log();

  EXPECT_EQ(filesBelow(q.out()), Strings{kAlbum + "01. Track 01.mp3"});
  EXPECT_NEAR(decodedFrames(q.outFile(kAlbum + "01. Track 01.mp3")), 60 * kFramesPerSector,
              kFramesPerSector);
  q.expectConfigIntact(config, "Use Freedb", "0");
}
