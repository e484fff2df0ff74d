// Drills on `qomhost rip` as a user runs it: the disc pulled out mid-rip,
// the disk filling up mid-rip, and Ctrl-C mid-rip. Each checks what must
// survive: the files finished before the fault (decodable, full length), no
// half-written or temporary file, the queue's later jobs, the
// configuration, and the documented exit code.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "drill_support.h"

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
  // The next job finds its disc gone before it reads: it ends saying so,
  // writes nothing, and the queue ends there.
  EXPECT_NE(r.out.find(" 3  Error: Disc changed!"), std::string::npos) << r.out;

  Strings logs;
  EXPECT_EQ(testing_support::filesBelowButRipLogs(q.out(), &logs), Strings{kAlbum + "01. Track 01.mp3"});
  EXPECT_EQ(logs.size(), 1u) << "the copy's log beside its one file";
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

  Strings logs;
  EXPECT_EQ(testing_support::filesBelowButRipLogs(q.out(), &logs),
            (Strings{kAlbum + "01. Track 01.mp3", kAlbum + "03. Track 03.mp3"}));
  EXPECT_EQ(logs.size(), 1u) << "the log is small enough for the limit";
  for (const char* file : {"01. Track 01.mp3", "03. Track 03.mp3"})
    EXPECT_NEAR(decodedFrames(q.outFile(kAlbum + file)), 60 * kFramesPerSector, kFramesPerSector)
        << file;
  q.expectConfigIntact(config, "Use Freedb", "0");
}

// Survives a folder that can no longer be written mid-track: track 1's and
// track 3's files (each track has its own folder), the configuration, the
// process (exit 1). Track 2 ends with an error, not "Copied", and no
// visible file appears in its folder. Its hidden temporary file stays: the
// folder that refused the rename refuses the clean-up too.
TEST(RipDrill, FolderMadeUnwritableDuringTrackTwo) {
  // Root ignores folder permissions: the rip runs as an unprivileged user.
  const std::string setpriv = testing_support::findProgram("setpriv");
  ASSERT_FALSE(setpriv.empty()) << "setpriv (util-linux) is needed";
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the rip as another user";
  constexpr uid_t kNobody = 65534;
  // Track 2 takes about 2 s at this speed: time to act while it runs.
  QomhostDrill q(simulated({60, 600, 60}, R"("speed": 4)"));
  q.set("Use Freedb", "0");
  q.set("Output Filename 2", "<number>\\<artist> - <track>");
  const std::string config = configText(q.configDir());
  namespace fs = std::filesystem;
  fs::create_directories(q.out());
  for (const std::string& path : {q.configDir(), q.out()}) ASSERT_EQ(::chown(path.c_str(), kNobody, kNobody), 0);
  fs::permissions(fs::path(q.out()).parent_path(), fs::perms::others_exec | fs::perms::others_read,
                  fs::perm_options::add);
  fs::permissions(q.configDir() + "/config.json", fs::perms::others_read, fs::perm_options::add);

  std::vector<std::string> argv = q.command({"rip", "--all", "--output", q.out()});
  argv.insert(argv.begin(), {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
  ChildProcess rip(argv, q.log("rip.log"));
  ASSERT_TRUE(rip.started());
  // Track 2's temporary file exists: the encoder has it open. Then the
  // folder turns read-only under the running track.
  const std::string folder2 = q.outFile("02");
  ASSERT_TRUE(waitUntil([&] {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(folder2, ec))
      if (entry.path().filename().string().rfind(".rondel-", 0) == 0) return true;
    return false;
  })) << rip.log();
  fs::permissions(folder2, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                               fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
  const auto status = rip.waitExit(std::chrono::seconds(30));
  ASSERT_TRUE(status.has_value()) << rip.log();
  EXPECT_EQ(shellCode(*status), 1) << rip.log();
  EXPECT_NE(rip.log().find(" 1  Copied"), std::string::npos) << rip.log();
  EXPECT_NE(rip.log().find(" 2  Error: ACDICompress() failed!"), std::string::npos) << rip.log();
  EXPECT_NE(rip.log().find(" 3  Copied"), std::string::npos) << rip.log();

  for (const char* file : {"01/Unknown Artist - Track 01.mp3", "03/Unknown Artist - Track 03.mp3"})
    EXPECT_NEAR(decodedFrames(q.outFile(file)), 60 * kFramesPerSector, kFramesPerSector) << file;
  for (const std::string& name : filesBelow(folder2))
    EXPECT_EQ(name.rfind(".rondel-", 0), 0u) << "a visible file in the read-only folder: " << name;
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

  Strings logs;
  EXPECT_EQ(testing_support::filesBelowButRipLogs(q.out(), &logs), Strings{kAlbum + "01. Track 01.mp3"});
  EXPECT_EQ(logs.size(), 1u) << "the copy's log beside its one file";
  EXPECT_NEAR(decodedFrames(q.outFile(kAlbum + "01. Track 01.mp3")), 60 * kFramesPerSector,
              kFramesPerSector);
  q.expectConfigIntact(config, "Use Freedb", "0");
}
