// `qomhost disc` with a lookup: a disc image and its freedb entry made by
// mkdisc, the entry served by the real cddb-server, the titles applied;
// the drive, server and e-mail are the ones earlier processes stored.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "lookup_fixture.h"
#include "support/run_command.h"

using testing_support::binDir;
using testing_support::runCommand;

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
    args.insert(args.begin(), {binDir() + "/qomhost", "--config-dir", dir.file("config")});
    return runCommand(args);
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
}
