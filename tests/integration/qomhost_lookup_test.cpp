// `qomhost disc` with a lookup: a disc image and its freedb entry made by
// mkdisc, the entry served by the real cddb-server, the titles applied;
// the drive, server and e-mail are the ones earlier processes stored.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "lookup_fixture.h"
#include "support/run_command.h"

using testing_support::binDir;
using testing_support::runCommand;

namespace {

// Runs a program with stdout and stderr on a pseudo-terminal `columns`
// wide; answers its exit code and what the terminal received.
testing_support::CommandResult runOnTerminal(const std::vector<std::string>& argv,
                                             unsigned short columns) {
  testing_support::CommandResult result;
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return result;
  winsize size{};
  size.ws_col = columns;
  size.ws_row = 50;
  ::ioctl(master, TIOCSWINSZ, &size);
  // Held open here too, so what the program wrote stays readable after it ends.
  const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, terminal, 1);
  posix_spawn_file_actions_adddup2(&actions, terminal, 2);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) == 0) {
    bool ended = false;
    for (;;) {
      pollfd p{master, POLLIN, 0};
      if (::poll(&p, 1, ended ? 0 : 100) > 0) {
        char buffer[4096];
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n > 0) {
          result.out.append(buffer, static_cast<std::size_t>(n));
          continue;
        }
      }
      if (ended) break;
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        ended = true;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
    }
  }
  posix_spawn_file_actions_destroy(&actions);
  ::close(terminal);
  ::close(master);
  return result;
}

}  // namespace

TEST(QomhostLookup, DiscShowsTheFetchedEntriesAndAppliesThePickedOne) {
  testing_support::TempDir dir;
  testing_support::CddbServer server;
  ASSERT_TRUE(server.running());
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  const auto made = runCommand({binDir() + "/mkdisc",
                                std::string(source ? source : "") + "/tests/data/discs/demo.json",
                                "--out", dir.file("disc"), "--freedb", dir.file("freedb"), "--json"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const auto layout = nlohmann::json::parse(made.out);
  const std::string id = layout["discid"], category = layout["category"];
  const std::string entry = testing_support::readFile(layout["entry"].get<std::string>());
  ASSERT_FALSE(entry.empty());
  server.add(category, id, entry);

  // The image is the second drive, so only the stored "Device" leads to it.
  testing_support::ScopedEnv drives(
      "CDR_CONFIG", dir.write("cdr.json", R"({"drives": [
        {"type": "simulated", "name": "First Drive", "tracks": [{"sectors": 750}]},
        {"type": "image", "name": "Made Image", "path": ")" + layout["cue"].get<std::string>() + R"("}]})"));
  const auto qomhost = [&](std::vector<std::string> args) {
    return testing_support::runQomhost(dir, std::move(args));
  };
  // Settings stored by earlier processes: the server, the drive, the e-mail.
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"Freedb Server", server.address()}, {"Device", "Made Image"}, {"EMail", "later@example.org"}})
    ASSERT_EQ(qomhost({"config", "set", key, value}).exitCode, 0) << key;
  const std::string stored = testing_support::readFile(dir.file("config/config.json"));

  auto r = qomhost({"disc", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  auto disc = nlohmann::json::parse(r.out);
  const std::string caption = "The Rondel Ensemble / Test Pressings, Vol. 1 [" + category + "]";
  EXPECT_EQ(disc["drive"], "Made Image");
  EXPECT_NE(server.requests().find("hello=later+example.org"), std::string::npos) << server.requests();
  EXPECT_EQ(testing_support::readFile(dir.file("config/config.json")), stored);  // the disc command changed nothing
  EXPECT_EQ(disc["status"], "Ready");
  EXPECT_EQ(disc["discId"], id);
  EXPECT_NE(disc["queryUrl"].get<std::string>().find("?cmd=cddb+query+" + id + "+"),
            std::string::npos);
  EXPECT_EQ(disc["entries"], nlohmann::json::array({caption}));
  EXPECT_TRUE(disc["lookup_error"].is_null()) << disc["lookup_error"];
  EXPECT_EQ(disc["entry"], caption);
  EXPECT_EQ(disc["artist"], "The Rondel Ensemble");
  EXPECT_EQ(disc["album"], "Test Pressings, Vol. 1");
  ASSERT_FALSE(disc["tracks"].empty());
  EXPECT_EQ(disc["tracks"][0]["title"], layout["tracks"][0]["title"]);

  // A second entry for the same disc; --entry 1 applies it.
  std::string other = entry;
  const std::size_t at = other.find("DTITLE=");
  ASSERT_NE(at, std::string::npos);
  other.insert(at + 7, "Other / ");
  const std::string otherCategory = category == "rock" ? "jazz" : "rock";
  server.add(otherCategory, id, other);
  r = qomhost({"disc", "--json", "--entry", "1"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  disc = nlohmann::json::parse(r.out);
  ASSERT_EQ(disc["entries"].size(), 2u);
  EXPECT_EQ(disc["entry"], disc["entries"][1]);
  EXPECT_EQ(disc["entryIndex"], 1);
  const bool otherSecond = otherCategory > category;  // the server lists categories sorted
  EXPECT_EQ(disc["artist"], otherSecond ? "Other" : "The Rondel Ensemble");

  // The query URL shown is one another HTTP client fetches as it is.
  REQUIRE_TOOLS("curl");
  const auto fetched =
      runCommand({testing_support::findProgram("curl"), "-sS", "--max-time", "5", disc["queryUrl"]});
  EXPECT_EQ(fetched.out.substr(0, 2), "21") << disc["queryUrl"] << ": " << fetched.exitCode << fetched.out << fetched.err;

  r = qomhost({"disc", "--entry", "5"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("no entry 5"), std::string::npos) << r.err;

  // A disc the database lacks: nothing found, and no error.
  ASSERT_EQ(qomhost({"config", "set", "Device", "First Drive"}).exitCode, 0);
  r = qomhost({"disc", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  disc = nlohmann::json::parse(r.out);
  EXPECT_EQ(disc["entry"], "No freedb entries");
  EXPECT_TRUE(disc["lookup_error"].is_null()) << disc["lookup_error"];
  // The server gone (its port closed): the window looks the same, and the
  // reason comes beside it.
  ASSERT_TRUE(server.kill());
  ASSERT_EQ(qomhost({"config", "set", "Device", "Made Image"}).exitCode, 0);
  r = qomhost({"disc", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  disc = nlohmann::json::parse(r.out);
  EXPECT_EQ(disc["status"], "Ready");
  EXPECT_EQ(disc["entry"], "No freedb entries");
  EXPECT_EQ(disc["lookup_error"], "connecting to host: Connection refused");
  r = qomhost({"disc"});
  EXPECT_NE(r.out.find("\nLookup failed: connecting to host: Connection refused\n"), std::string::npos) << r.out;
}

// `qomhost rip` of titles a database entry gives: a title that climbs with
// "\.." stays inside the output folder, control characters become spaces,
// two alike tracks get two files, a long album keeps each track its own
// name. The user's own pattern that climbs above the folder a value starts
// ends its job with the error, and nothing is made outside.
TEST(QomhostLookup, RipKeepsEveryTitleInsideTheFolderAndEveryTrackItsOwnFile) {
  // Below each output folder: the files and the copy's log.
  const auto filesBelow = [](const std::string& root) { return testing_support::filesBelowButRipLogs(root); };
  testing_support::TempDir dir;
  testing_support::CddbServer server;
  ASSERT_TRUE(server.running());
  const testing_support::DiscLayout disc{{12, 12, 12, 12, 12}};
  const std::string id = disc.discId();
  testing_support::ScopedEnv drives(
      "CDR_CONFIG", dir.write("cdr.json", testing_support::drives({testing_support::simDrive(
                                                   "SIM", disc.tracksJson(), testing_support::kSine)})
                                               .text));
  testing_support::ScopedEnv timeouts("RONDEL_LOOKUP_TIMEOUTS", "1000,1000,5000");
  const auto qomhost = [&](std::vector<std::string> args) {
    return testing_support::runQomhost(dir, std::move(args));
  };
  for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
           {"Freedb Server", server.address()}, {"Use Freedb", "1"}, {"EMail", "t@example.org"}})
    ASSERT_EQ(qomhost({"config", "set", key, value}).exitCode, 0) << key;
  // Each track's status and file (relative to `out`), and the exit code.
  const auto rip = [&](const std::string& out, std::vector<std::string> more, int& exitCode) {
    std::vector<std::string> args{"rip", "--output", out, "--json"};
    args.insert(args.end(), more.begin(), more.end());
    const auto r = qomhost(args);
    exitCode = r.exitCode;
    std::vector<std::string> results;
    const auto doc = nlohmann::json::parse(r.out, nullptr, false);
    if (doc.is_discarded() || !doc.contains("tracks")) return std::vector<std::string>{r.out + r.err};
    for (const auto& t : doc["tracks"]) {
      const std::string file = t["file"];
      results.push_back(t["status"].get<std::string>() + " " +
                        (file.rfind(out + "/", 0) == 0 ? file.substr(out.size() + 1) : file));
    }
    return results;
  };
  using Strings = std::vector<std::string>;
  int exitCode = -1;

  server.add("misc", id,
             testing_support::xmcdEntry(disc, id, "Art / Alb",
                                        {"a\\..\\..\\..\\..\\ESCAPED", "Bell\x07Tab\tDel\x7f" "End", "Fine",
                                         "Same", "Same"}));
  const std::string out = dir.file("x/y/out");
  const Strings copied{"Copied Art - Alb/01. a/__/__/__/__/ESCAPED.mp3", "Copied Art - Alb/02. Bell Tab Del End.mp3",
                       "Copied Art - Alb/03. Fine.mp3", "Copied Art - Alb/04. Same.mp3",
                       "Copied Art - Alb/05. Same.mp3"};
  EXPECT_EQ(rip(out, {}, exitCode), copied);
  EXPECT_EQ(exitCode, 0);
  Strings files;
  for (const std::string& c : copied) files.push_back(c.substr(7));
  EXPECT_EQ(filesBelow(out), files);
  EXPECT_EQ(filesBelow(dir.file("x")).size(), files.size()) << "only the folder's files below x";
  EXPECT_FALSE(std::filesystem::exists(dir.file("x/ESCAPED.mp3")));

  // "<artist> - <track>" names tracks 4 and 5 alike: the second is numbered.
  EXPECT_EQ(rip(dir.file("sel"), {"--tracks", "4,5"}, exitCode),
            (Strings{"Copied Art - Same.mp3", "Copied Art - Same (2).mp3"}));
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(filesBelow(dir.file("sel")).size(), 2u);

  // The user's own pattern climbing out of the folder where the artist
  // starts: every chosen job ends with the error and makes nothing.
  ASSERT_EQ(qomhost({"config", "set", "Output Filename 1", "<artist>\\..\\..\\<track>"}).exitCode, 0);
  EXPECT_EQ(rip(dir.file("x/y/pat"), {"--tracks", "3"}, exitCode),
            Strings{"Error: Output path leaves the Output Folder! "});
  EXPECT_EQ(exitCode, 1);
  EXPECT_EQ(filesBelow(dir.file("x")).size(), files.size());
  EXPECT_FALSE(std::filesystem::exists(dir.file("x/y/Fine.mp3")));

  // A 230-character album: its folder is shortened, each file name kept.
  const std::string album(230, 'B');
  server.add("misc", id,
             testing_support::xmcdEntry(disc, id, "Art / " + album, {"One", "Two", "Three", "Four", "Five"}));
  const Strings results = rip(dir.file("long"), {}, exitCode);
  EXPECT_EQ(exitCode, 0);
  const Strings names{"01. One.mp3", "02. Two.mp3", "03. Three.mp3", "04. Four.mp3", "05. Five.mp3"};
  ASSERT_EQ(results.size(), names.size()) << (results.empty() ? "" : results[0]);
  std::string folder;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::size_t slash = results[i].find('/');
    ASSERT_NE(slash, std::string::npos) << results[i];
    EXPECT_EQ(results[i].substr(0, 7), "Copied ");
    EXPECT_EQ(results[i].substr(slash + 1), names[i]);
    if (i == 0) folder = results[i].substr(7, slash - 7);
    EXPECT_EQ(results[i].substr(7, slash - 7), folder);
  }
  EXPECT_EQ(folder.rfind("Art - BBBB", 0), 0u) << folder;
  EXPECT_EQ(filesBelow(dir.file("long")).size(), names.size());

  // On an 80-column terminal no progress line wraps: a long title is cut
  // with "…", so each redraw lands on the lines it replaces.
  const std::string title(100, 'T');
  ASSERT_EQ(qomhost({"config", "set", "Output Filename 1", "<artist> - <track>"}).exitCode, 0);
  server.add("misc", id, testing_support::xmcdEntry(disc, id, "Art / Alb", {title, "Two", "Three", "Four", "Five"}));
  const auto shown = runOnTerminal({binDir() + "/qomhost", "--config-dir", dir.file("config"), "rip", "--output",
                                    dir.file("tty"), "--tracks", "1-2"},
                                   80);
  EXPECT_EQ(shown.exitCode, 0) << shown.out;
  std::size_t drawn = 0, cut = 0;
  for (std::size_t at = shown.out.find("\x1b[2K"); at != std::string::npos; at = shown.out.find("\x1b[2K", at + 1)) {
    const std::size_t from = at + 4;
    const std::string line = shown.out.substr(from, shown.out.find_first_of("\r\n", from) - from);
    const auto characters = std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; });
    EXPECT_LE(characters, 80) << line;
    ++drawn;
    if (line.size() >= 3 && line.compare(line.size() - 3, 3, "\u2026") == 0) ++cut;
  }
  EXPECT_GE(drawn, 4u) << shown.out;  // two lines, redrawn
  EXPECT_GE(cut, 2u) << shown.out;
  EXPECT_NE(shown.out.find("\x1b[2A"), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find(" 1  " + title.substr(0, 60)), std::string::npos) << shown.out;
}
