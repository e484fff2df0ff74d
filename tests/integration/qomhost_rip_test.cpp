// `qomhost rip` as a separate process: a made disc image ripped (the files
// themselves are checked by the road tests, tests/e2e/road), the exit code of a failing job, and the folder rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "host_fixture.h"
#include "support/run_command.h"

using testing_support::runCommand;

namespace {

struct RipCli {
  testing_support::TempDir dir;
  std::string host = testing_support::binDir() + "/qomhost";

  testing_support::CommandResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {host, "--config-dir", dir.file("config")});
    return runCommand(args);
  }
  // No network lookups in tests.
  void offline() { ASSERT_EQ(run({"config", "set", "Use Freedb", "0"}).exitCode, 0); }
};

}  // namespace

TEST(QomhostRip, RipsAMadeImageToFilesNamedByTheDefaultPattern) {
  RipCli cli;
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  const auto made = runCommand({testing_support::binDir() + "/mkdisc",
                                std::string(source ? source : "") + "/tests/data/discs/exact-single.json",
                                "--out", cli.dir.file("disc"), "--json"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const auto layout = nlohmann::json::parse(made.out);
  testing_support::ScopedEnv drives(
      "CDR_CONFIG", cli.dir.write("cdr.json", R"({"drives": [{"type": "image", "path": ")" +
                                                   layout["cue"].get<std::string>() + R"("}]})"));
  cli.offline();

  // With "Use Output Folder" off the folder must be given.
  const auto noFolder = cli.run({"rip", "--all"});
  EXPECT_EQ(noFolder.exitCode, 2);
  EXPECT_NE(noFolder.err.find("--output"), std::string::npos) << noFolder.err;

  const std::string out = cli.dir.file("rips");
  const auto r = cli.run({"rip", "--all", "--output", out, "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
  const auto doc = nlohmann::json::parse(r.out);
  const std::string file = out + "/Unknown Artist - Unknown Album/01. Track 01.mp3";
  ASSERT_EQ(doc["tracks"].size(), 1u);
  EXPECT_EQ(doc["tracks"][0]["number"], 1);
  EXPECT_EQ(doc["tracks"][0]["title"], "Track 01");
  EXPECT_EQ(doc["tracks"][0]["status"], "Copied");
  EXPECT_EQ(doc["tracks"][0]["file"], file);
  // Progress went to stderr, one line per change seen, ending "Copied".
  EXPECT_NE(r.err.find("] Copied\n"), std::string::npos) << r.err;

}

TEST(QomhostRip, AFailingJobGivesANonzeroExitAndTheOthersStillRun) {
  RipCli cli;
  testing_support::ScopedEnv drives(
      "CDR_CONFIG",
      cli.dir.write("cdr.json", R"({"drives": [{"type": "simulated", "name": "Bad Sector",
        "tracks": [{"sectors": 40}, {"sectors": 40}, {"sectors": 40}],
        "read_failures": [{"sector": 50}], "audio": {"generator": "sine"}}]})"));
  cli.offline();
  const std::string out = cli.dir.file("rips");
  const auto r = cli.run({"rip", "--tracks", "1,2,3", "--output", out});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find(" 2  Error: ReadCDDA() failed!"), std::string::npos) << r.out;
  EXPECT_TRUE(std::filesystem::exists(out + "/Unknown Artist - Track 01.mp3")) << r.out;
  EXPECT_TRUE(std::filesystem::exists(out + "/Unknown Artist - Track 03.mp3")) << r.out;
  EXPECT_FALSE(std::filesystem::exists(out + "/Unknown Artist - Track 02.mp3"));

  // A folder whose name Windows-1252 cannot hold has no path the component
  // could use: refused before anything runs.
  const auto unnamed = cli.run({"rip", "--output", cli.dir.file("\xE6\x97\xA5")});
  EXPECT_EQ(unnamed.exitCode, 2) << unnamed.err;

  const auto unknown = cli.run({"rip", "--tracks", "4", "--output", out});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("its tracks are: 1 2 3"), std::string::npos) << unknown.err;
}
