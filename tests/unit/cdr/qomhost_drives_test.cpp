// The drive library under the real host: what `qomhost drives` lists, in
// configuration order, and that every listed drive can be chosen by its
// index or its name.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"
#include "unit/cdr/image_files.h"

namespace {

using testing_support::runCommand;

// Names that clash or hold the list separator: two images of the same file
// name, a drive called "Semi;Colon", two simulated drives called "Twin" and
// one already called what the second "Twin" would become. Each drive has its
// own track count, so the disc shown tells which drive was read.
TEST(QomhostDrives, EveryDriveHasItsOwnNameAndIsReachedByIndexAndName) {
  testing_support::TempDir dir;
  for (const char* folder : {"a", "b"}) {
    std::filesystem::create_directory(dir.file(folder));
    cdr_test::writeThreeTrackImage(dir.file(folder), "demo");
  }
  testing_support::ScopedEnv config(
      "CDR_CONFIG", dir.write("cdr.json", R"json({"drives": [
        {"type": "image", "path": "a/demo.cue"},
        {"type": "image", "path": "b/demo.cue"},
        {"type": "simulated", "name": "Semi;Colon", "tracks": [{"sectors": 75}]},
        {"type": "simulated", "name": "Twin", "tracks": [{"sectors": 75}, {"sectors": 75}, {"sectors": 75}]},
        {"type": "simulated", "name": "Twin", "tracks": [{"sectors": 75}, {"sectors": 75}, {"sectors": 75}, {"sectors": 75}]},
        {"type": "simulated", "name": "Twin (2)", "tracks": [{"sectors": 75}, {"sectors": 75}]}
      ]})json"));
  const std::string host = testing_support::binDir() + "/qomhost";
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {host, "--config-dir", dir.file("config")});
    return runCommand(args);
  };
  ASSERT_EQ(run({"config", "set", "Use Freedb", "0"}).exitCode, 0);

  const auto listed = run({"drives"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_EQ(listed.out,
            "0\tdemo.cue\n1\tdemo.cue (2)\n2\tSemi,Colon\n3\tTwin\n4\tTwin (3)\n5\tTwin (2)\n");
  EXPECT_EQ(listed.err.find("cdr.dll"), std::string::npos) << "nothing was skipped: " << listed.err;

  // The drive shown is the one read: by index and by name alike.
  const std::vector<std::pair<std::string, std::pair<std::string, std::size_t>>> choices = {
      {"1", {"demo.cue (2)", 2}}, {"4", {"Twin (3)", 4}}, {"Twin (2)", {"Twin (2)", 2}},
      {"2", {"Semi,Colon", 1}}};
  for (const auto& [choice, expected] : choices) {
    const auto r = run({"disc", "--drive", choice, "--json", "--timeout", "10"});
    ASSERT_EQ(r.exitCode, 0) << choice << ": " << r.err;
    const auto disc = nlohmann::json::parse(r.out);
    EXPECT_EQ(disc["drive"], expected.first) << choice;
    EXPECT_EQ(disc["tracks"].size(), expected.second) << choice;
  }
  // The listing has no more entries than drives: index 6 is no drive.
  const auto beyond = run({"disc", "--drive", "6"});
  EXPECT_EQ(beyond.exitCode, 2) << beyond.out;
  EXPECT_NE(beyond.err.find("5\tTwin (2)"), std::string::npos) << beyond.err;

  // A rip of the second "Twin" copies its four tracks, not the first's three.
  const auto rip = run({"rip", "--drive", "4", "--all", "--output", dir.file("rips"), "--json"});
  ASSERT_EQ(rip.exitCode, 0) << rip.err;
  const auto ripped = nlohmann::json::parse(rip.out);
  EXPECT_EQ(ripped["drive"], "Twin (3)");
  EXPECT_EQ(ripped["tracks"].size(), 4u);

  // A "Device" that names no drive: the window reads drive 0 and says so.
  ASSERT_EQ(run({"config", "set", "Device", "Unplugged drive"}).exitCode, 0);
  const auto fallback = run({"disc", "--json", "--timeout", "10"});
  ASSERT_EQ(fallback.exitCode, 0) << fallback.err;
  EXPECT_EQ(nlohmann::json::parse(fallback.out)["drive"], "demo.cue");
  EXPECT_NE(fallback.err.find("Unplugged drive"), std::string::npos) << fallback.err;
}

// Images libcdio's parsers corrupt memory on, and files that would block a
// read for ever: each costs only its own entry, with a line saying why. The
// good image beside it is still listed, no command crashes or hangs (a hang
// ends in the time-out's kill, exit 137), and no temporary copy of a TOC
// file is left in TMPDIR.
TEST(QomhostDrives, HostileImagesAndFifosAreSkippedWithTheirReason) {
  testing_support::TempDir dir;
  const std::filesystem::path folder = dir.path();
  std::filesystem::create_directory(folder / "tmp");
  testing_support::ScopedEnv tmp("TMPDIR", dir.file("tmp"));
  testing_support::ScopedEnv probe("CDR_PROBE_TIMEOUT_MS", "5000");
  cdr_test::writeThreeTrackImage(folder, "disc");
  auto images = cdr_test::writeHostileImages(folder);
  // A FIFO as a TOC file's audio, as the BIN libcdio reads a CUE sheet's
  // audio from, and as the sheet itself.
  for (const char* fifo : {"pipe.bin", "piped.bin", "sheet.cue"})
    ASSERT_EQ(::mkfifo((folder / fifo).c_str(), 0600), 0);
  cdr_test::writeText(folder / "fifo.toc", "CD_DA\nTRACK AUDIO\nFILE \"pipe.bin\" 0\n");
  cdr_test::writeText(folder / "piped.cue", "FILE \"piped.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  images.push_back({"fifo.toc", "pipe.bin is not a regular file"});
  images.push_back({"piped.cue", "piped.bin (the sheet's name with .bin), which is missing or not a regular file"});
  images.push_back({"sheet.cue", "sheet.cue is not a regular file"});
  // An NRG image libcdio reads: the checks do not refuse a sound one.
  cdr_test::writeNrg(folder / "good.nrg", {{"ETNF", cdr_test::etnf(2, 150)}});

  const std::string host = testing_support::binDir() + "/qomhost";
  const auto run = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {"/usr/bin/timeout", "-s", "KILL", "20", host, "--config-dir", dir.file("config")});
    return runCommand(args);
  };
  const auto entry = [](const std::string& file) {
    return R"({"type": "image", "path": ")" + file + "\"}";
  };
  std::string all = entry("disc.cue");
  for (const auto& image : images) {
    SCOPED_TRACE(image.file);
    all += "," + entry(image.file);
    testing_support::ScopedEnv config(
        "CDR_CONFIG", dir.write("cdr.json", "{\"drives\": [" + entry("disc.cue") + "," + entry(image.file) + "]}"));
    const auto listed = run({"drives"});
    EXPECT_EQ(listed.exitCode, 0) << listed.err;
    EXPECT_EQ(listed.out, "0\tdisc.cue\n");
    EXPECT_NE(listed.err.find("drive 2 skipped: " + dir.file(image.file)), std::string::npos) << listed.err;
    EXPECT_NE(listed.err.find(image.why), std::string::npos) << listed.err;
  }

  // All at once, under the command that only shows the configuration.
  testing_support::ScopedEnv config(
      "CDR_CONFIG", dir.write("cdr.json", "{\"drives\": [" + all + "," + entry("good.nrg") + "]}"));
  const auto shown = run({"config", "list"});
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  const auto listed = run({"drives"});
  EXPECT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_EQ(listed.out, "0\tdisc.cue\n1\tgood.nrg\n") << listed.err;
  const auto nrg = run({"disc", "--drive", "1", "--json", "--timeout", "10"});
  EXPECT_EQ(nrg.exitCode, 0) << nrg.err;
  if (nrg.exitCode == 0) EXPECT_EQ(nlohmann::json::parse(nrg.out)["tracks"].size(), 2u);

  // The configuration file itself a FIFO.
  testing_support::ScopedEnv fifoConfig("CDR_CONFIG", dir.file("sheet.cue"));
  const auto none = run({"config", "list"});
  EXPECT_EQ(none.exitCode, 0) << none.err;
  EXPECT_NE(none.err.find("is not a regular file: no drives"), std::string::npos) << none.err;

  EXPECT_TRUE(std::filesystem::is_empty(folder / "tmp")) << "a temporary copy was left behind";
}

}  // namespace
