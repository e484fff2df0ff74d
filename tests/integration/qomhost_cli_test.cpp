// qomhost's command line, run as a separate process.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "main_window_fixture.h"
#include "support/run_command.h"

using testing_support::runCommand;

namespace {

// qomhost with a configuration folder of its own and the drives of
// `drivesJson` (cdr.json, which a test may write over).
struct Cli {
  explicit Cli(const std::string& drivesJson = R"({"drives": []})")
      : drives("CDR_CONFIG", dir.write("cdr.json", drivesJson)) {}
  testing_support::TempDir dir;
  testing_support::ScopedEnv drives;
  std::string host = testing_support::binDir() + "/qomhost";

  testing_support::CommandResult run(std::vector<std::string> args) {
    args.insert(args.begin(), {host, "--config-dir", dir.file("config")});
    return runCommand(args);
  }
};

}  // namespace

// Nothing stored and no drive: the defaults, and "drives" says so. (The
// drive listing in configuration order: QomhostDrives.EveryDriveHasItsOwn...)
TEST(QomhostCli, ConfigListShowsTheFourteenDefaultsInOrder_DrivesWithNoDriveSaysSo) {
  Cli cli;
  auto r = cli.run({"config", "list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "Format = 1: MPEG Layer-3 [.mp3] - 112 kbit/s\n"
            "Eject = 0\n"
            "Use Output Folder = 0\n"
            "Output Folder = C:\\My Audio Files\n"
            "Output Filename 1 = <artist> - <track>\n"
            "Output Filename 2 = <artist> - <album>\\<number>. <track>\n"
            "Output Filename 3 = <album>\\<number>. <artist> - <track>\n"
            "Device = \n"
            "Resync = 0\n"
            "Use Freedb = 1\n"
            "Freedb Server = gnudb.gnudb.org\n"
            "Use Proxy = 0\n"
            "Proxy Server = \n"
            "EMail = rondel@example.org\n");
  r = cli.run({"drives"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("no drives"), std::string::npos);
}

TEST(QomhostCli, ConfigSetChecksKeysAndBooleansAndPersists) {
  Cli cli(testing_support::simDrivesConfig({"SIM Drive A", "SIM Drive B"}));

  auto bad = cli.run({"config", "set", "Eject", "2"});
  EXPECT_EQ(bad.exitCode, 2);
  EXPECT_NE(bad.err.find("0 or 1"), std::string::npos) << bad.err;
  for (const char* value : {"yes", "", "01", " 1"})
    EXPECT_EQ(cli.run({"config", "set", "Eject", value}).exitCode, 2) << value;
  // No drive letter can name a network share.
  auto share = cli.run({"config", "set", "Output Folder", "\\\\server\\music"});
  EXPECT_EQ(share.exitCode, 2);
  EXPECT_NE(share.err.find("network share"), std::string::npos) << share.err;

  auto unknown = cli.run({"config", "get", "eject"});  // names are exact
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("unknown configuration key"), std::string::npos) << unknown.err;
  EXPECT_EQ(cli.run({"config", "set", "Nope", "1"}).exitCode, 2);
  EXPECT_NE(cli.run({"config"}).exitCode, 0);
  EXPECT_NE(cli.run({"frobnicate"}).exitCode, 0);

  EXPECT_EQ(cli.run({"config", "set", "Eject", "1"}).exitCode, 0);
  EXPECT_EQ(cli.run({"config", "get", "Eject"}).out, "1\n");

  // A drive that is gone is kept, with a note.
  auto gone = cli.run({"config", "set", "Device", "Gone Drive"});
  EXPECT_EQ(gone.exitCode, 0);
  EXPECT_NE(gone.err.find("not one of the values"), std::string::npos) << gone.err;
  EXPECT_EQ(cli.run({"config", "get", "Device"}).out, "Gone Drive\n");
  // A format that is none of the labels would give every job setting 0:
  // refused, with the labels listed.
  for (const char* value : {"MP3", "", "1: MPEG Layer-3 [.mp3]", "2: Ogg Vorbis [.ogg] - 112 kbit/s "}) {
    auto format = cli.run({"config", "set", "Format", value});
    EXPECT_EQ(format.exitCode, 2) << value;
    EXPECT_NE(format.err.find("1: MPEG Layer-3 [.mp3] - 112 kbit/s"), std::string::npos) << format.err;
    EXPECT_NE(format.err.find("2: Ogg Vorbis [.ogg] - 112 kbit/s"), std::string::npos) << format.err;
  }
  EXPECT_EQ(cli.run({"config", "get", "Format"}).out, "1: MPEG Layer-3 [.mp3] - 112 kbit/s\n");
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"Device", "SIM Drive B"}, {"Format", "2: Ogg Vorbis [.ogg] - 112 kbit/s"}}) {
    auto known = cli.run({"config", "set", key, value});
    EXPECT_EQ(known.exitCode, 0);
    EXPECT_EQ(known.err.find("not one of the values"), std::string::npos) << known.err;
  }

  // Texts travel as UTF-8 outside and come back unchanged.
  EXPECT_EQ(cli.run({"config", "set", "Output Folder", "C:\\Musique é"}).exitCode, 0);
  EXPECT_EQ(cli.run({"config", "get", "Output Folder"}).out, "C:\\Musique é\n");

  auto help = cli.run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("drives"), std::string::npos);
}

TEST(QomhostCli, ASettingThatCannotBeSavedIsAnError) {
  Cli cli;
  const testing_support::TempDir& dir = cli.dir;
  const std::string& host = cli.host;
  // The configuration folder's place is taken by a file.
  const std::string blocked = dir.write("not-a-folder", "x");
  auto r = runCommand({host, "--config-dir", blocked, "config", "set", "Eject", "1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("was not saved"), std::string::npos) << r.err;
  EXPECT_EQ(testing_support::readFile(blocked), "x");

  // config.json is a folder: reported, nothing written over it.
  std::filesystem::create_directories(dir.file("cfg/config.json"));
  r = runCommand({host, "--config-dir", dir.file("cfg"), "config", "set", "Eject", "1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_NE(r.err.find("cannot read"), std::string::npos) << r.err;
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("cfg/config.json")));
  // Reading still works, from the defaults.
  r = runCommand({host, "--config-dir", dir.file("cfg"), "config", "get", "Eject"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.out, "0\n");

  // A FIFO in the file's place, with no writer, would hold a plain open for
  // ever: it is refused at once, like the folder.
  std::filesystem::create_directories(dir.file("fifo"));
  ASSERT_EQ(::mkfifo(dir.file("fifo/config.json").c_str(), 0600), 0);
  r = runCommand({testing_support::findProgram("timeout"), "10", host, "--config-dir", dir.file("fifo"), "config", "list"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.err.find("is not a regular file"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("Eject = 0\n"), std::string::npos) << r.out;
}

TEST(QomhostCli, ValuesAndFilesLargerThanAnySettingNeedsAreRefused) {
  Cli cli;
  EXPECT_EQ(cli.run({"config", "set", "Eject", "1"}).exitCode, 0);
  auto r = cli.run({"config", "set", "EMail", std::string(5000, 'x')});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("at most 4096 bytes"), std::string::npos) << r.err;

  // A stored value past the bound is dropped (the default shows), the rest
  // of the file holds.
  const std::string file = cli.dir.file("config/config.json");
  auto doc = nlohmann::json::parse(testing_support::readFile(file));
  for (auto& group : doc["groups"]) group["values"]["EMail"] = std::string(5000, 'x');
  std::ofstream(file, std::ios::binary | std::ios::trunc) << doc.dump();
  r = cli.run({"config", "list"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.err.find("EMail is longer than 4096 bytes"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("EMail = rondel@example.org\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("Eject = 1\n"), std::string::npos) << r.out;

  // A file past 1 MiB is not read: set aside as a damaged one.
  std::ofstream(file, std::ios::binary | std::ios::app) << std::string((1 << 20) + 1, ' ');
  r = cli.run({"config", "get", "Eject"});
  EXPECT_EQ(r.out, "0\n");
  EXPECT_NE(r.err.find("larger than 1024 KiB"), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(file));
}

// A made image with its data track first: what mkdisc laid out reaches the
// component through the image drive (mkdisc and the image drive each match
// cd-info in their own tests).
TEST(QomhostCli, DiscListsTheAudioTracksOfAMadeDataFirstImage) {
  Cli cli;
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  auto made = runCommand({testing_support::binDir() + "/mkdisc",
                          std::string(source ? source : "") + "/tests/data/discs/data-first.json", "--out",
                          cli.dir.file("disc"), "--json"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const auto layout = nlohmann::json::parse(made.out);
  cli.dir.write("cdr.json", R"({"drives": [{"type": "simulated", "name": "Never Ready",
                                  "tracks": [{"sectors": 750}], "readiness": [12]},
                                 {"type": "image", "path": ")" +
                                    layout["cue"].get<std::string>() + R"("},
                                 {"type": "simulated", "name": "Bad TOC",
                                  "tracks": [{"sectors": 750}], "toc_failures": 5}]})");
  ASSERT_EQ(cli.run({"config", "set", "Use Freedb", "0"}).exitCode, 0);

  auto r = cli.run({"disc", "--drive", "1", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto disc = nlohmann::json::parse(r.out);
  EXPECT_EQ(disc["status"], "Ready");
  EXPECT_EQ(disc["artist"], "Unknown Artist");
  EXPECT_EQ(disc["album"], "Unknown Album");
  // Every audio track of the made disc, in order; the data track is left out.
  std::vector<std::string> expected, rows;
  for (const auto& t : layout["tracks"])
    if (t["type"] == "audio") {
      const int number = t["number"], seconds = t["sectors"].get<int>() / 75;
      char row[64];
      std::snprintf(row, sizeof row, "%d|Unknown Artist|Track %02d|%d:%02d", number, number, seconds / 60,
                    seconds % 60);
      expected.push_back(row);
    }
  for (const auto& t : disc["tracks"])
    rows.push_back(std::to_string(t["number"].get<int>()) + "|" + t["artist"].get<std::string>() +
                   "|" + t["title"].get<std::string>() + "|" + t["length"].get<std::string>());
  EXPECT_EQ(rows, expected);
  EXPECT_LT(rows.size(), layout["tracks"].size());
  // The choice of drive is kept.
  EXPECT_EQ(cli.run({"config", "get", "Device"}).out, "data-first.cue\n");

  // A drive that never settles ends with a clear message; an unknown drive
  // is a usage error that names the drives.
  auto stuck = cli.run({"disc", "--drive", "Never Ready", "--timeout", "1"});
  EXPECT_EQ(stuck.exitCode, 1);
  EXPECT_NE(stuck.err.find("did not settle within 1 s"), std::string::npos) << stuck.err;
  // A disc whose table of contents cannot be read lists nothing, and both
  // commands say so and fail at once.
  for (std::vector<std::string> command :
       {std::vector<std::string>{"disc"}, {"rip", "--output", cli.dir.file("out")}}) {
    command.insert(command.end(), {"--drive", "Bad TOC"});
    auto bad = cli.run(command);
    EXPECT_EQ(bad.exitCode, 1) << command[0];
    EXPECT_NE(bad.err.find("Cannot Read Disc"), std::string::npos) << bad.err;
    EXPECT_EQ(bad.out.find("Ready"), std::string::npos) << bad.out;
  }
  auto unknown = cli.run({"disc", "--drive", "7"});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("Never Ready"), std::string::npos) << unknown.err;
}

TEST(QomhostCli, RipChecksItsArgumentsAndReportsEveryJob) {
  Cli cli(R"({"drives": [{"type": "simulated", "name": "Bad Sector",
        "tracks": [{"sectors": 40}, {"sectors": 40}, {"sectors": 40}],
        "read_failures": [{"sector": 50}], "audio": {"generator": "sine"}}]})");
  ASSERT_EQ(cli.run({"config", "set", "Use Freedb", "0"}).exitCode, 0);
  // With "Use Output Folder" off the folder must be given.
  const auto noFolder = cli.run({"rip", "--all"});
  EXPECT_EQ(noFolder.exitCode, 2);
  EXPECT_NE(noFolder.err.find("--output"), std::string::npos) << noFolder.err;

  // A failing job gives exit 1, and the others still run.
  const std::string out = cli.dir.file("rips");
  const auto r = cli.run({"rip", "--tracks", "1,2,3", "--output", out, "--json"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  const auto doc = nlohmann::json::parse(r.out, nullptr, false);
  ASSERT_FALSE(doc.is_discarded()) << r.out;
  ASSERT_EQ(doc["tracks"].size(), 3u) << r.out;
  const char* statuses[] = {"Copied", "Error: ReadCDDA() failed!", "Copied"};
  for (int t = 0; t < 3; ++t) {
    const std::string name = "Track 0" + std::to_string(t + 1);
    EXPECT_EQ(doc["tracks"][t]["number"], t + 1);
    EXPECT_EQ(doc["tracks"][t]["title"], name);
    EXPECT_EQ(doc["tracks"][t]["status"], statuses[t]);
    EXPECT_EQ(doc["tracks"][t]["file"], t == 1 ? "" : out + "/Unknown Artist - " + name + ".mp3");
  }
  // Progress went to stderr, one line per change seen, ending "Copied".
  EXPECT_NE(r.err.find("] Copied\n"), std::string::npos) << r.err;

  // A folder whose name Windows-1252 cannot hold has no path the component
  // could use: refused before anything runs.
  EXPECT_EQ(cli.run({"rip", "--output", cli.dir.file("\xE6\x97\xA5")}).exitCode, 2);
  const auto unknown = cli.run({"rip", "--tracks", "4", "--output", out});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("its tracks are: 1 2 3"), std::string::npos) << unknown.err;
}
