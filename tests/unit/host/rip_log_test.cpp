// The rip log and the track checks it is built from: the window's texts are
// parsed strictly (anything malformed counts as not checked), the log says
// what the user needs and is written whole or not at all; the offsets file
// the host saves is the one cdr.dll reads.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>

#include "drivers/cdr/offsets_file.h"
#include "drivers/cdr/read_offset.h"
#include "host/core/rip_log.h"
#include "host/core/track_check.h"
#include "support/temp_dir.h"

namespace {

using qomhost::parseTrackCheck;
using qomhost::TrackCheck;

TEST(TrackCheck, ParsesTheWindowsTextsAndRefusesEverythingElse) {
  const TrackCheck good = parseTrackCheck("1a2b3c4d", "00000001", "ffffffff", "accurate 12 14 v2");
  EXPECT_EQ(good.crc32, "1a2b3c4d");
  EXPECT_EQ(good.status, "accurate");
  EXPECT_EQ(qomhost::verdictText(good), "accurate (confidence 12 of 14, v2)");
  EXPECT_EQ(qomhost::verdictText(parseTrackCheck("1a2b3c4d", "", "", "accurate 3 3 v1")),
            "accurate (confidence 3 of 3, v1)");
  const TrackCheck wrong = parseTrackCheck("1a2b3c4d", "1", "", "not_accurate 0 14");
  EXPECT_EQ(wrong.status, "not_accurate");
  EXPECT_EQ(wrong.total, 14u);
  EXPECT_EQ(wrong.accurateRipV1, "") << "a checksum is 8 hex digits or nothing";
  EXPECT_EQ(qomhost::verdictText(wrong), "not accurate");
  EXPECT_EQ(qomhost::verdictText(parseTrackCheck("", "", "", "not_found")), "not in the database");

  // Whatever else a component publishes is not a verdict.
  for (const char* text : {"", "accurate", "accurate 15 14 v2", "accurate 0 14 v2", "accurate 1 2 v3",
                           "accurate 1 2 v2 extra", "accurate 9999999 99999999 v1", "accurate -1 2 v1",
                           "ACCURATE 1 2 v1", "not_found x", "accurate 1 2\nv1 forged"}) {
    const TrackCheck c = parseTrackCheck("1A2B3C4D", "1a2b3c4d0", "1a2b3c4", text);
    EXPECT_EQ(c.status, "not_checked") << text;
    EXPECT_FALSE(c.hasChecksums()) << "upper case and wrong lengths are refused";
  }

  const auto with = [](std::initializer_list<const char*> verdicts) {
    std::vector<TrackCheck> checks;
    for (const char* v : verdicts) checks.push_back(parseTrackCheck("00000000", "", "", v));
    return qomhost::verdictSummary(checks);
  };
  EXPECT_EQ(with({"accurate 2 2 v1", "accurate 1 2 v2", "accurate 2 2 v2"}), "All 3 tracks accurate");
  EXPECT_EQ(with({"accurate 2 2 v1", "not_accurate 0 2", "not_checked"}),
            "1 of 3 tracks accurate, 1 not accurate, 1 not checked");
  EXPECT_EQ(with({"not_found", "not_found"}), "Not in the AccurateRip database");
  EXPECT_EQ(with({"not_checked"}), "Not checked against AccurateRip");
}

qomhost::RipLog sampleLog(const std::string& folder) {
  qomhost::RipLog log;
  log.date = "2026-12-08 01:52:14 +0000";
  log.drive = "RONDEL EMULATED CD (/dev/sr0)";
  log.identity.path = "/dev/sr0";
  log.identity.vendor = "RONDEL";
  log.identity.model = "EMULATED CD";
  log.resync = true;
  log.format = "MP3";
  log.id1 = "0001b2c3", log.id2 = "00a1b2c3", log.freedb = "a70d4a0c";
  log.databasePath = "3/c/2/dBAR-002-0001b2c3-00a1b2c3-a70d4a0c.bin";
  log.lookup = "found";
  log.tracks.push_back({1, "Caf\xc3\xa9\nTrack 02  File: forged", "Copied", folder + "/Album/A/01.mp3",
                        parseTrackCheck("1a2b3c4d", "0badc0de", "12345678", "not_accurate 0 5")});
  log.tracks.push_back({2, "Two", "Copied", folder + "/Album/B/02.mp3",
                        parseTrackCheck("2a2b3c4d", "1badc0de", "22345678", "accurate 5 5 v2")});
  log.tracks.push_back({3, "Three", "Error: ReadCDDA() failed!", "", TrackCheck{}});
  return log;
}

TEST(RipLog, SaysWhatWasReadWithWhatAndPointsToTheOffsetWhenItIsUnset) {
  testing_support::TempDir dir;
  qomhost::RipLog log = sampleLog(dir.path());
  const std::string text = qomhost::renderRipLog(log);
  for (const char* line :
       {"Drive:         RONDEL EMULATED CD (/dev/sr0)\n", "Vendor:        RONDEL\n", "Model:         EMULATED CD\n",
        "Read offset:   not set (0)\n", "Resync:        on\n", "Output format: MP3\n",
        "AccurateRip disc ids: 0001b2c3 00a1b2c3 a70d4a0c\n", "Track  1  Caf\xc3\xa9?Track 02  File: forged\n",
        "  Copy CRC:    1a2b3c4d\n", "  AccurateRip: v1 0badc0de, v2 12345678\n", "  Verdict:     not accurate\n",
        "  Verdict:     accurate (confidence 5 of 5, v2)\n", "  Status:      Error: ReadCDDA() failed!\n",
        "Summary: 3 tracks, 2 copied; 1 of 2 tracks accurate, 1 not accurate\n", "qomhost offset find --save"})
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;

  log.identity.offset = 48;
  EXPECT_NE(qomhost::renderRipLog(log).find("Read offset:   +48 samples (offsets file)\n"), std::string::npos);
  EXPECT_EQ(qomhost::renderRipLog(log).find("offset find"), std::string::npos)
      << "with the offset set, a wrong track is not the offset's fault";

  // The album folder holds every file; the log is written there whole.
  EXPECT_EQ(qomhost::albumFolderOf(log), dir.path() + "/Album");
  std::filesystem::create_directories(dir.file("Album/A"));
  std::string problem;
  const std::string path = qomhost::writeRipLog(log, problem);
  ASSERT_EQ(path, dir.file("Album/Rip log a70d4a0c.txt")) << problem;
  EXPECT_EQ(testing_support::readFile(path), qomhost::renderRipLog(log));
  EXPECT_EQ(testing_support::filesBelow(dir.file("Album")), std::vector<std::string>{"Rip log a70d4a0c.txt"});

  // Files without a shared folder below the root: the log goes beside the
  // first, never to the root; a folder that cannot be written leaves no
  // file and says why.
  log.tracks[0].file = "/proc/nowhere/01.mp3";
  EXPECT_EQ(qomhost::albumFolderOf(log), "/proc/nowhere");
  EXPECT_EQ(qomhost::writeRipLog(log, problem), "");
  EXPECT_NE(problem.find("cannot write"), std::string::npos) << problem;
  log.tracks = {};
  EXPECT_EQ(qomhost::writeRipLog(log, problem), "") << "nothing copied, no log";
}

TEST(OffsetsFile, SavedEntriesAreWhatCdrReadsAndOthersAreKept) {
  testing_support::TempDir dir;
  const std::string path = dir.file("cdr/offsets.json");
  setenv("CDR_OFFSETS", path.c_str(), 1);
  ASSERT_EQ(cdr::offsetsFilePath(), path);
  EXPECT_EQ(cdr::saveOffset(path, "RONDEL EMULATED CD", 48), "") << "the folder is made";
  EXPECT_EQ(cdr::saveOffset(path, "HL-DT-ST DVDRAM GH24NSD1", 6), "");
  EXPECT_EQ(cdr::saveOffset(path, "RONDEL EMULATED CD", -30), "") << "replaced, not added";
  std::vector<std::string> warnings;
  const cdr::Warn warn = [&](const std::string& w) { warnings.push_back(w); };
  EXPECT_EQ(cdr::offsetFromFile("RONDEL EMULATED CD", warn), -30);
  EXPECT_EQ(cdr::offsetFromFile("HL-DT-ST DVDRAM GH24NSD1", warn), 6);
  EXPECT_TRUE(warnings.empty());
  EXPECT_EQ(testing_support::filesBelow(dir.file("cdr")), std::vector<std::string>{"offsets.json"});

  // A file that is not an object of offsets is never overwritten.
  testing_support::TempDir other;
  const std::string broken = other.write("offsets.json", "[1, 2");
  EXPECT_NE(cdr::saveOffset(broken, "RONDEL EMULATED CD", 48), "");
  EXPECT_EQ(testing_support::readFile(broken), "[1, 2");
  unsetenv("CDR_OFFSETS");
}

}  // namespace
