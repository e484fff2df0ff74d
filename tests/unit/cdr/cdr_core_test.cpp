// The pieces of the drive backends that need neither a drive nor the
// library's exports: readiness from SCSI sense, display names, layouts from
// what a reader reports, the timing of the simulated faults, and the child
// processes that keep libcdio's faults and leftovers away from the host. Plus one
// test on a real drive, where the machine has one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "drivers/cdr/cue_sessions.h"
#include "drivers/cdr/device_drive.h"
#include "drivers/cdr/device_status.h"
#include "drivers/cdr/drive_names.h"
#include "drivers/cdr/image_check.h"
#include "drivers/cdr/image_probe.h"
#include "drivers/cdr/sim_drive.h"
#include "drivers/cdr/toc.h"
#include "drivers/cdr/temp_copy.h"
#include "drivers/cdr/toc_file.h"
#include "support/temp_dir.h"
#include "unit/cdr/image_files.h"

namespace {

using namespace cdr;
using std::chrono::milliseconds;

template <class T>
T field(T value) {
  return value;
}

TEST(DeviceStatus, SenseMapsToReadinessCodes) {
  struct Case {
    bool ready;
    Sense sense;
    Tray tray;
    std::int32_t want;
  };
  const Sense none{};
  const Case cases[] = {
      {true, none, Tray::kUnknown, kCdReady},
      {false, {true, 0x2, 0x3A, 0x00}, Tray::kUnknown, kCdNoDisc},
      {false, {true, 0x2, 0x3A, 0x01}, Tray::kClosed, kCdNoDisc},  // tray closed, empty
      {false, {true, 0x2, 0x3A, 0x02}, Tray::kUnknown, kCdNoDisc},  // tray open
      {false, {true, 0x2, 0x04, 0x01}, Tray::kUnknown, kCdBecomingReady},
      {false, {true, 0x2, 0x04, 0x07}, Tray::kUnknown, kCdBecomingReady},
      {false, {true, 0x2, 0x3E, 0x00}, Tray::kUnknown, kCdBecomingReady},
      {false, {true, 0x6, 0x28, 0x00}, Tray::kUnknown, kCdBecomingReady},  // medium changed
      {false, {true, 0x6, 0x29, 0x00}, Tray::kUnknown, kCdBecomingReady},  // reset
      {false, {true, 0x2, 0x04, 0x00}, Tray::kUnknown, kNotReady},
      {false, {true, 0x2, 0x30, 0x00}, Tray::kUnknown, kNotReady},  // unreadable medium
      {false, {true, 0x3, 0x11, 0x00}, Tray::kUnknown, kNotReady},
      {false, none, Tray::kOpen, kCdNoDisc},
      {false, none, Tray::kClosed, kNotReady},
      {false, none, Tray::kUnknown, kNotReady},
  };
  for (const Case& c : cases)
    EXPECT_EQ(readinessFromDrive(c.ready, c.sense, c.tray), c.want)
        << int(c.sense.key) << "/" << int(c.sense.asc) << "/" << int(c.sense.ascq);

  std::uint8_t fixed[18] = {0x70, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x02};
  Sense s = senseFromBytes(fixed, sizeof fixed);
  EXPECT_TRUE(s.present);
  EXPECT_EQ(readinessFromDrive(false, s, Tray::kUnknown), kCdNoDisc);
  s = senseFromBytes(fixed, 8);
  EXPECT_TRUE(s.present) << "key only";
  EXPECT_EQ(s.asc, 0);
  const std::uint8_t descriptor[8] = {0x72, 0x02, 0x04, 0x01};
  s = senseFromBytes(descriptor, sizeof descriptor);
  EXPECT_EQ(readinessFromDrive(false, s, Tray::kUnknown), kCdBecomingReady);
  const std::uint8_t junk[18] = {0x05, 0x02, 0x3A};
  EXPECT_FALSE(senseFromBytes(junk, sizeof junk).present);
  EXPECT_FALSE(senseFromBytes(fixed, 3).present);
  EXPECT_FALSE(senseFromBytes(nullptr, 18).present);
  EXPECT_FALSE(senseFromBytes(fixed, -1).present);
}

TEST(DeviceStatus, DisplayNameFromInquiryFields) {
  EXPECT_EQ(deviceDisplayName("HL-DT-ST", "DVDRAM GH24NSD1 ", "/dev/sr0"),
            "HL-DT-ST DVDRAM GH24NSD1 (/dev/sr0)");
  EXPECT_EQ(deviceDisplayName("        ", "", "/dev/sr1"), "/dev/sr1");
  EXPECT_EQ(deviceDisplayName("", " Drive ", "/dev/sr2"), "Drive (/dev/sr2)");
  EXPECT_EQ(deviceDisplayName(std::string_view("AB\0CD", 5), "X\n\x1b\xe9", "/dev/sr3"),
            "AB X??? (/dev/sr3)");
}

TEST(DiscLayout, ReportedTracksAreCheckedBeforeUse) {
  std::vector<TrackLayout> tracks;
  ASSERT_EQ(layoutFromReport(1, {{0, false}, {100, false}, {200, true}}, 300, tracks), "");
  ASSERT_EQ(tracks.size(), 3u);
  EXPECT_EQ(tracks[1].sectors, 100u);
  EXPECT_TRUE(tracks[2].data);

  std::vector<ReportedTrack> hundred;
  for (int i = 0; i < 100; ++i) hundred.push_back({i * 10, false});
  const struct {
    std::int64_t first;
    std::vector<ReportedTrack> reported;
    std::int64_t leadOut;
    const char* why;
  } bad[] = {
      {1, {}, 100, "no tracks"},
      {1, {{100, false}, {50, false}}, 300, "track 1 starts at sector 100, not before the next"},
      {1, {{0, false}, {100, false}}, 100, "track 2 starts at sector 100, not before the lead-out"},
      {1, {{-5, false}}, 100, "track 1 starts at a negative sector"},
      {1, {{0, false}}, 450001, "lead-out at sector 450001"},
      {1, {{0, false}}, -1, "lead-out at sector -1"},
      {0, {{0, false}}, 100, "first track number 0"},
      {99, {{0, false}, {10, false}}, 100, "go beyond track 99"},
      {1, hundred, 2000, "100 tracks from track 1"},
  };
  for (const auto& b : bad) {
    const std::string why = layoutFromReport(b.first, b.reported, b.leadOut, tracks);
    EXPECT_NE(why.find(b.why), std::string::npos) << why;
    EXPECT_TRUE(tracks.empty());
  }

  // A disc starting at track 3 fills entries 3 and 4.
  ASSERT_EQ(layoutFromReport(3, {{0, false}, {500, false}}, 800, tracks), "");
  CdToc toc;
  ASSERT_TRUE(buildToc(tracks, toc, 3));
  EXPECT_EQ(field(toc.firstTrack), 3u);
  EXPECT_EQ(field(toc.lastTrack), 4u);
  EXPECT_EQ(field(toc.entries[4].startSector), 500u);
  EXPECT_EQ(field(toc.entries[1].startSector), 0u);
  EXPECT_EQ(field(toc.entries[0].startSector), 800u);

  // Enhanced CD: the audio before the second session's data track ends
  // 11400 sectors before it.
  ASSERT_EQ(layoutFromReport(1, {{0, false}, {20000, false}, {50000, true}}, 60000, tracks), "");
  trimSessionGap(tracks, 50000);
  EXPECT_EQ(tracks[1].sectors, 30000u - kSessionGapSectors);
  EXPECT_EQ(tracks[0].sectors, 20000u);
  trimSessionGap(tracks, -1);
  EXPECT_EQ(tracks[1].sectors, 30000u - kSessionGapSectors);

  // Which track of a CUE sheet begins its last session.
  EXPECT_EQ(lastSessionFirstTrack("FILE \"a.bin\" BINARY\n  TRACK 01 AUDIO\n"), 0);
  EXPECT_EQ(lastSessionFirstTrack("REM SESSION 01\nTRACK 01 AUDIO\nREM SESSION 02\nTRACK 02 MODE1/2352\n"), 2);
  EXPECT_EQ(lastSessionFirstTrack("TRACK 01 AUDIO\nREM SESSION 02\nTRACK 05 AUDIO\nTRACK 06 AUDIO\n"
                                  "REM SESSION 03\nTRACK 07 MODE1/2352\n"), 7);
  for (const char* none : {"TRACK 01 AUDIO\nREM SESSION 02\n", "TRACK 01 AUDIO\nREM SESSION 2\nTRACK 0 AUDIO\n",
                           "TRACK 01 AUDIO\nREM SESSION 02\nTRACK 100 AUDIO\n",
                           "TRACK 01 AUDIO\nREM SESSION -9\nTRACK 02 AUDIO\n", "REM SESSION"})
    EXPECT_EQ(lastSessionFirstTrack(none), 0) << none;
}

TEST(TocFile, RelativeFileNamesBecomeAbsolute) {
  EXPECT_EQ(absoluteTocText("CD_DA\n// FILE \"x\"\nTRACK AUDIO\n  FILE \"a.bin\" 0 00:01:00\n"
                            "DATAFILE \"/abs.bin\"\nAUDIOFILE \"sub/b.wav\" 0\n",
                            "/discs"),
            "CD_DA\n// FILE \"x\"\nTRACK AUDIO\n  FILE \"/discs/a.bin\" 0 00:01:00\n"
            "DATAFILE \"/abs.bin\"\nAUDIOFILE \"/discs/sub/b.wav\" 0\n");
  EXPECT_THROW(absoluteTocText("FILE \"a\\\"b\" 0\n", "/d"), std::runtime_error);
  EXPECT_THROW(absoluteTocText("FILE \"open 0\n", "/d"), std::runtime_error);
  EXPECT_THROW(absoluteTocText("FILE \"a\" 0\n", "/we\"ird"), std::runtime_error);
}

// The edges of the checks made before libcdio parses an image (the
// integration test has the images that crash it): what a sound image may
// hold passes, what libcdio would write past its tables on does not.
TEST(ImageCheck, SoundImagesPassAndUnguardedStatementsDoNot) {
  std::vector<TocFileUse> files;
  // A sheet per FILE restarts its times; a TOC range is taken apart.
  EXPECT_EQ(checkCueText("FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:10:00\n"
                         "FILE \"b.bin\" BINARY\n TRACK 02 AUDIO\n INDEX 00 00:00:00\n INDEX 01 00:02:00\n"),
            "");
  EXPECT_EQ(checkCueText("FILE \"a.bin\" BINARY\n TRACK 100 AUDIO\n INDEX 01 00:00:00\n"),
            "line 2: TRACK needs a number from 1 to 99");
  EXPECT_EQ(checkCueText("FILE \"a.bin\" BINARY\n TRACK 01 AUDIO\n INDEX 01 00:00:00\n INDEX 01 00:01:00\n"),
            "line 4: INDEX numbers out of order");
  EXPECT_EQ(checkCueText("REM only\n"), "no tracks");
  EXPECT_EQ(checkCueText(std::string(1024, ' ') + "\nTRACK 01 AUDIO\n"), "line 1: longer than 1023 bytes");
  EXPECT_EQ(checkTocText("CD_DA\nTRACK AUDIO\nFILE \"a.bin\" 00:00:10 150 // note\n", files), "");
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(files[0].startBytes, 10u * 2352);
  EXPECT_EQ(files[0].bytes, 600u);
  EXPECT_EQ(checkTocText("CD_DA\nISRC \"X\"\nTRACK AUDIO\n", files), "line 2: ISRC before the first TRACK");
  EXPECT_EQ(checkTocText("CD_DA\nTRACK AUDIO\nFILE a.bin 0\n", files), "line 3: a file name is not quoted");
  EXPECT_EQ(checkTocText("CD_DA\n", files), "no tracks");

  // NRG: the 5.0 trailer too; chunk sizes against the footer and the data.
  const auto nrg = [](const std::string& chunks, bool v50 = false) {
    const std::string data(300 * 2352, '\0');
    const std::string footer = chunks + "END!" + cdr_test::be(0, 4);
    const std::string trailer = v50 ? std::string(4, '\0') + "NERO" + cdr_test::be(data.size(), 4)
                                    : "NER5" + cdr_test::be(data.size(), 8);
    const std::string file = data + footer + trailer;
    return checkNrgTail(std::string_view(file).substr(file.size() - std::min<std::size_t>(file.size(), 4096)),
                        file.size());
  };
  const auto chunk = [](const std::string& id, const std::string& body) {
    return id + cdr_test::be(body.size(), 4) + body;
  };
  const std::string tracks = chunk("ETNF", cdr_test::etnf(2, 150));
  EXPECT_EQ(nrg(tracks, true), "");
  EXPECT_EQ(nrg(chunk("SINF", cdr_test::be(1, 4)) + tracks + chunk("DAOI", std::string(22 + 2 * 30, '\0'))), "");
  EXPECT_EQ(nrg(tracks + chunk("DAOI", std::string(22 + 30, '\0'))), "NRG chunk DAOI is malformed");
  EXPECT_EQ(nrg(tracks + tracks), "more than one NRG track table");
  EXPECT_EQ(nrg(chunk("ETNF", cdr_test::etnf(2, 151))), "NRG track 2 lies past the image's data");
  EXPECT_EQ(nrg(tracks + "MTYP" + cdr_test::be(4000, 4)), "NRG chunk MTYP runs past the footer");
  EXPECT_EQ(nrg(""), "its NRG footer lists no tracks");
}

// The trial open: a child that crashes, hangs or answers is told apart, the
// hanging one is ended within its bound, and each key is asked once.
TEST(ImageProbe, CrashesAndHangsStayInTheChildAndAnswersAreKept) {
  const milliseconds bound(300);
  const auto crash = [] {
    ::signal(SIGSEGV, SIG_DFL);  // a sanitizer's own handler would exit instead
    ::raise(SIGSEGV);
    return true;
  };
  ProbeResult r = probeOnce("crash", crash, bound);
  EXPECT_EQ(r.answer, ProbeAnswer::kFault);
  EXPECT_EQ(r.why, "libcdio crashed on it (signal 11)");

  const auto start = std::chrono::steady_clock::now();
  r = probeOnce("hang", [] {
    for (;;) ::pause();
    return true;
  }, bound);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(r.answer, ProbeAnswer::kFault);
  EXPECT_EQ(r.why, "libcdio did not finish reading it within 300 ms");

  EXPECT_EQ(probeOnce("no", [] { return false; }, bound).answer, ProbeAnswer::kRefused);
  EXPECT_EQ(probeOnce("yes", [] { return true; }, bound).answer, ProbeAnswer::kOpens);
  EXPECT_EQ(probeOnce("yes", crash, bound).answer, ProbeAnswer::kOpens) << "asked again";
  EXPECT_EQ(probeOnce("crash", [] { return true; }, bound).answer, ProbeAnswer::kFault);
}

// The temporary copy goes with its object, and with the process when that
// dies first (here by SIGKILL, which no handler sees).
TEST(TempCopy, RemovedWithItsOwnerAndWithAProcessThatDies) {
  testing_support::TempDir dir;
  testing_support::ScopedEnv tmp("TMPDIR", dir.path());
  std::string path;
  {
    TempCopy copy;
    ASSERT_EQ(copy.make("CD_DA\n", "disc.toc"), "");
    path = copy.path();
    EXPECT_EQ(testing_support::readFile(path), "CD_DA\n");
  }
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(ends[0]);
    TempCopy copy;
    if (copy.make("CD_DA\n", "disc.toc").empty()) (void)!::write(ends[1], "+", 1);
    for (;;) ::pause();
  }
  ::close(ends[1]);
  char made = 0;
  ASSERT_EQ(::read(ends[0], &made, 1), 1);
  ::close(ends[0]);
  EXPECT_FALSE(std::filesystem::is_empty(dir.path()));
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  // The watcher notices the end of the pipe at once; give it a moment.
  for (int i = 0; i < 200 && !std::filesystem::is_empty(dir.path()); ++i)
    std::this_thread::sleep_for(milliseconds(10));
  EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << "the copy outlived its process";
}

TEST(SimulatedFaults, TimingAndShiftsFollowTheirSettings) {
  const std::vector<TimedAnswer> script{{7, 100}, {12, 50}, {0, 5}};
  EXPECT_EQ(timedAnswerAt(script, milliseconds(0)), 7);
  EXPECT_EQ(timedAnswerAt(script, milliseconds(99)), 7);
  EXPECT_EQ(timedAnswerAt(script, milliseconds(100)), 12);
  EXPECT_EQ(timedAnswerAt(script, milliseconds(149)), 12);
  EXPECT_EQ(timedAnswerAt(script, milliseconds(150)), 0);
  EXPECT_EQ(timedAnswerAt(script, milliseconds(1 << 30)), 0) << "the last answer lasts";

  EXPECT_EQ(clampShift(1000, 10, 2, 100), 1000);
  EXPECT_EQ(clampShift(-30000, 10, 2, 100), -23520);
  EXPECT_EQ(clampShift(5000, 97, 2, 100), 2352);
  EXPECT_EQ(clampShift(-5, 0, 1, 1), 0);
  EXPECT_EQ(clampShift(5, 99, 5, 100), 0) << "a range off the disc is left alone";

  EXPECT_EQ(transferTime(600, 8), std::chrono::seconds(1));
  EXPECT_EQ(transferTime(12, 48), std::chrono::nanoseconds(3333333));
  EXPECT_EQ(transferTime(12, 0), std::chrono::nanoseconds(0));

  // Reads of an 8x drive are due one after another, 20 ms per 12 sectors.
  SimDriveSettings s;
  s.name = "Slow";
  s.tracks = {{0, 1000, false}};
  s.speed = 8;
  SimulatedDrive drive(s);
  std::vector<std::uint8_t> out(12 * kCdSectorBytes);
  const auto before = std::chrono::steady_clock::now();
  ASSERT_EQ(drive.readCdda(0, 12, out.data()), kOk);
  const auto first = drive.readDoneAt();
  ASSERT_EQ(drive.readCdda(12, 12, out.data()), kOk);
  const auto second = drive.readDoneAt();
  EXPECT_GE(first - before, milliseconds(20));
  EXPECT_GE(second - first, milliseconds(20));
  EXPECT_NE(drive.readCdda(995, 12, out.data()), kOk);
}

TEST(RealDrive, AnswersAndReadsWhenPresent) {
  const std::vector<std::string> paths = findDevicePaths();
  if (paths.empty()) GTEST_SKIP() << "no optical drive found (libcdio lists none): nothing to test";
  DeviceDrive drive(paths.front(), probeDeviceName(paths.front()));
  const std::int32_t answer = drive.testUnitReady();
  EXPECT_TRUE(answer == kCdReady || answer == kCdNoDisc || answer == kCdBecomingReady ||
              answer == kNotReady)
      << answer;
  if (answer != kCdReady) GTEST_SKIP() << drive.name() << " holds no readable disc (" << answer << ")";
  CdToc toc;
  ASSERT_EQ(drive.readToc(toc), kOk);
  for (std::uint32_t t = toc.firstTrack; t <= toc.lastTrack; ++t) {
    if (toc.entries[t].control & kCdControlData) continue;
    std::vector<std::uint8_t> out(2 * kCdSectorBytes);
    EXPECT_EQ(drive.readCdda(toc.entries[t].startSector, 2, out.data()), kOk);
    break;
  }
}

}  // namespace

namespace cdr {
namespace {

TEST(DriveNames, LongRepeatedNamesAreCutBeforeTheirNumber) {
  const std::string longName(300, 'x');
  const std::vector<std::string> names = uniqueNames({longName, longName, "a;b;c", "a,b,c"});
  ASSERT_EQ(names.size(), 4u);
  EXPECT_EQ(names[0], std::string(255, 'x'));
  EXPECT_EQ(names[1], std::string(251, 'x') + " (2)");
  EXPECT_EQ(names[2], "a,b,c");
  EXPECT_EQ(names[3], "a,b,c (2)");
}

}  // namespace
}  // namespace cdr
