// qomhost's command line, run as a separate process.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
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
  // The folder as the component names it (C:\ is $HOME), shown native.
  const char* home = std::getenv("HOME");
  auto r = cli.run({"config", "list"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out,
            "Format = 1: MPEG Layer-3 [.mp3] - 112 kbit/s\n"
            "Eject = 0\n"
            "Use Output Folder = 0\n"
            "Output Folder = " + std::string(home != nullptr ? home : "") + "/My Audio Files\n"
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
  // An unknown command is named, and the commands are listed.
  auto bogus = cli.run({"frobnicate"});
  EXPECT_EQ(bogus.exitCode, 2);
  EXPECT_NE(bogus.err.find("unknown command \"frobnicate\""), std::string::npos) << bogus.err;
  for (const char* command : {"config", "drives", "disc", "rip", "desktop"})
    EXPECT_NE(bogus.err.find(std::string("\n  ") + command + " "), std::string::npos) << command << bogus.err;

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

  // "Output Folder" takes a native folder (stored in the component's form,
  // shown back native) or a Windows-form one; texts travel as UTF-8.
  const std::string music = cli.dir.file("Musique é");
  EXPECT_EQ(cli.run({"config", "set", "Output Folder", music}).exitCode, 0);
  EXPECT_EQ(cli.run({"config", "get", "Output Folder"}).out, music + "\n");
  const std::string stored = testing_support::readFile(cli.dir.file("config/config.json"));
  EXPECT_NE(stored.find("\"Z:\\\\"), std::string::npos) << stored;
  EXPECT_NE(cli.run({"config", "list"}).out.find("Output Folder = " + music + "\n"), std::string::npos);
  EXPECT_EQ(cli.run({"config", "set", "Output Folder", "Z:\\tmp\\Musique é"}).exitCode, 0);
  EXPECT_EQ(cli.run({"config", "get", "Output Folder"}).out, "/tmp/Musique é\n");
  // A folder the component cannot name is refused, the value kept.
  for (const std::string& bad : {cli.dir.file("\xE6\x97\xA5"), "/" + std::string(300, 'x'), std::string("Q:\\x")}) {
    auto refused = cli.run({"config", "set", "Output Folder", bad});
    EXPECT_EQ(refused.exitCode, 2) << bad;
    EXPECT_NE(refused.err.find("cannot name"), std::string::npos) << refused.err;
  }
  EXPECT_EQ(cli.run({"config", "get", "Output Folder"}).out, "/tmp/Musique é\n");

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
                                  "tracks": [{"sectors": 750}], "toc_failures": 5},
                                 {"type": "simulated", "name": "Empty",
                                  "tracks": [{"sectors": 750}], "disc": false}]})");
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
  std::size_t audio = 0;
  for (const auto& t : disc["tracks"]) {
    rows.push_back(std::to_string(t["number"].get<int>()) + "|" + t["artist"].get<std::string>() +
                   "|" + t["title"].get<std::string>() + "|" + t["length"].get<std::string>());
    // The length as numbers too: the sectors mkdisc laid out, and seconds.
    while (audio < layout["tracks"].size() && layout["tracks"][audio]["type"] != "audio") ++audio;
    ASSERT_LT(audio, layout["tracks"].size());
    EXPECT_EQ(t["sectors"], layout["tracks"][audio]["sectors"]) << t;
    EXPECT_DOUBLE_EQ(t["seconds"].get<double>(), layout["tracks"][audio++]["sectors"].get<double>() / 75) << t;
  }
  EXPECT_EQ(rows, expected);
  EXPECT_LT(rows.size(), layout["tracks"].size());
  // --drive applies to its own command: "Device" stays as it was.
  EXPECT_EQ(cli.run({"config", "get", "Device"}).out, "Never Ready\n");
  ASSERT_EQ(cli.run({"config", "set", "Device", "Bad TOC"}).exitCode, 0);
  EXPECT_EQ(cli.run({"disc", "--drive", "1"}).exitCode, 0);
  EXPECT_EQ(cli.run({"config", "get", "Device"}).out, "Bad TOC\n");

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

  // An empty drive is a failure that says so.
  auto empty = cli.run({"disc", "--drive", "Empty"});
  EXPECT_EQ(empty.exitCode, 1) << empty.out;
  EXPECT_NE(empty.err.find("No Disc"), std::string::npos) << empty.err;

  // Ctrl-C while waiting for a lookup that never answers: said, exit 130,
  // and the JSON of what is known (the listed tracks) still comes.
  testing_support::TempDir silent;
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);  // never accepted: the server stays silent
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  ASSERT_EQ(cli.run({"config", "set", "Use Freedb", "1"}).exitCode, 0);
  ASSERT_EQ(cli.run({"config", "set", "Freedb Server", "127.0.0.1:" + std::to_string(ntohs(address.sin_port))})
                .exitCode, 0);
  auto interrupted = runCommand({testing_support::findProgram("timeout"), "--preserve-status", "-s", "INT", "3",
                              cli.host, "--config-dir", cli.dir.file("config"), "disc", "--drive", "1", "--json"});
  ::close(listener);
  EXPECT_EQ(interrupted.exitCode, 130) << interrupted.err;
  EXPECT_NE(interrupted.err.find("interrupted"), std::string::npos) << interrupted.err;
  const auto known = nlohmann::json::parse(interrupted.out, nullptr, false);
  ASSERT_FALSE(known.is_discarded()) << interrupted.out;
  EXPECT_EQ(known["status"], "Querying freedb...");
  EXPECT_EQ(known["tracks"].size(), expected.size());
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
  const auto r = cli.run({"rip", "--tracks", "1-2,3", "--output", out, "--json"});
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
  // Progress went to stderr, not a terminal: one line per change of a
  // track's status, its percentages counting as one.
  const auto count = [&](const std::string& text) {
    std::size_t n = 0;
    for (std::size_t at = r.err.find(text); at != std::string::npos; at = r.err.find(text, at + 1)) ++n;
    return n;
  };
  // (A job may end before the watch sees it copying.)
  EXPECT_GE(count("] Copying "), 1u) << r.err;
  EXPECT_LE(count("] Copying "), 3u) << r.err;
  EXPECT_EQ(count("] Copied\n"), 2u) << r.err;
  EXPECT_EQ(count("  Error: ReadCDDA() failed!\n"), 1u) << r.err;

  // A folder whose name Windows-1252 cannot hold has no path the component
  // could use: refused before anything runs.
  EXPECT_EQ(cli.run({"rip", "--output", cli.dir.file("\xE6\x97\xA5")}).exitCode, 2);
  const auto unknown = cli.run({"rip", "--tracks", "4", "--output", out});
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.err.find("its tracks are: 1 2 3"), std::string::npos) << unknown.err;
  // An empty list is no list; a bad item is named.
  for (const auto& [list, named] : std::vector<std::pair<std::string, std::string>>{
           {"", "empty"}, {"0,99,a", "\"0\""}, {"1,a", "\"a\""}, {"3-1", "\"3-1\""}, {"1,,2", "\"\""},
           {"2-", "\"2-\""}, {"1-100", "\"1-100\""}}) {
    const auto bad = cli.run({"rip", "--tracks", list, "--output", out});
    EXPECT_EQ(bad.exitCode, 2) << list;
    EXPECT_NE(bad.err.find(named), std::string::npos) << list << ": " << bad.err;
  }

  // An output folder that cannot be made is named with the reason before
  // any track starts.
  cli.dir.write("file", "x");
  const auto notFolder = cli.run({"rip", "--output", cli.dir.file("file/sub")});
  EXPECT_EQ(notFolder.exitCode, 1);
  EXPECT_NE(notFolder.err.find(cli.dir.file("file/sub") + ": Not a directory"), std::string::npos) << notFolder.err;
  EXPECT_EQ(notFolder.out.find("Copying"), std::string::npos) << notFolder.out;
  if (::geteuid() != 0) {  // the superuser writes anywhere
    std::filesystem::create_directories(cli.dir.file("locked"));
    ::chmod(cli.dir.file("locked").c_str(), 0555);
    const auto locked = cli.run({"rip", "--output", cli.dir.file("locked")});
    EXPECT_EQ(locked.exitCode, 1);
    EXPECT_NE(locked.err.find(cli.dir.file("locked") + ": Permission denied"), std::string::npos) << locked.err;
  }

  // A file standing where Copy All's album folder goes: the encoder cannot
  // create its file, and the reason reaches the track's line, the JSON and
  // the debug log.
  const std::string blocked = cli.dir.file("blocked");
  std::filesystem::create_directories(blocked);
  cli.dir.write("blocked/Unknown Artist - Unknown Album", "x");
  testing_support::ScopedEnv log("RONDEL_DEBUG_LOG", cli.dir.file("debug.log"));
  const std::string reason = "cannot create " + blocked + "/Unknown Artist - Unknown Album/01. Track 01.mp3: ";
  const auto all = cli.run({"rip", "--output", blocked, "--json"});
  EXPECT_EQ(all.exitCode, 1);
  const auto failed = nlohmann::json::parse(all.out, nullptr, false);
  ASSERT_FALSE(failed.is_discarded()) << all.out;
  EXPECT_EQ(failed["tracks"][0]["status"], "Error: ACDIInitCompress() failed!");
  EXPECT_EQ(failed["tracks"][0]["error"], reason + "Not a directory") << failed;
  EXPECT_EQ(failed["tracks"][0]["file"], "");
  EXPECT_EQ(failed["tracks"][2]["error"].get<std::string>().substr(0, 14), "cannot create ") << failed;
  EXPECT_NE(testing_support::readFile(cli.dir.file("debug.log")).find(reason), std::string::npos);
  const auto line = cli.run({"rip", "--output", blocked});
  EXPECT_NE(line.out.find(" 1  Error: ACDIInitCompress() failed!  " + reason + "Not a directory\n"), std::string::npos)
      << line.out;
}
