// Restart survival through the command line: settings made by one qomhost
// process are what every later process sees (config get and list), what
// `qomhost disc` uses (the stored drive, server and e-mail), and the file
// that carries them is valid JSON in UTF-8.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>

#include "integration/lookup_fixture.h"
#include "support/run_command.h"

using namespace testing_support;

TEST(RestartSurvival, SettingsFromOneProcessReachEveryLaterOne) {
  TempDir dir;
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  const auto made = runCommand({binDir() + "/mkdisc",
                                std::string(source != nullptr ? source : ".") + "/tests/e2e/road/road-disc.json",
                                "--out", dir.file("disc"), "--freedb", dir.file("freedb"), "--json"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const auto layout = nlohmann::json::parse(made.out);
  const std::string id = layout["discid"];
  CddbServer server;
  ASSERT_TRUE(server.running());
  server.add(layout["category"], id, readFile(layout["entry"].get<std::string>()));

  // The image is the second drive, so only the stored "Device" leads to it.
  ScopedEnv drives("CDR_CONFIG",
                   dir.write("cdr.json", R"({"drives": [
                     {"type": "simulated", "name": "First Drive", "tracks": [{"sectors": 750}]},
                     {"type": "image", "name": "Road Image", "path": ")" +
                                             layout["cue"].get<std::string>() + R"("}]})"));
  ScopedEnv timeouts("RONDEL_LOOKUP_TIMEOUTS", "2000,2000,10000");
  const auto qomhost = [&](std::vector<std::string> args) {
    args.insert(args.begin(), {binDir() + "/qomhost", "--config-dir", dir.file("config")});
    return runCommand(args);
  };

  // UTF-8 on the command line; "é" is a Windows-1252 character inside.
  const std::vector<std::pair<std::string, std::string>> settings = {
      {"Output Folder", "C:\\My Audio Files\\Caf\xC3\xA9 del Mar"},
      {"Freedb Server", server.address()},
      {"Device", "Road Image"},
      {"EMail", "restart@example.org"},
      {"Format", "2: Ogg Vorbis [.ogg] - 112 kbit/s"},
      {"Output Filename 2", "<album>\\<number> <track>"},
      {"Eject", "1"},
  };
  for (const auto& [key, value] : settings) {
    const auto r = qomhost({"config", "set", key, value});
    EXPECT_EQ(r.exitCode, 0) << key << ": " << r.err;
    // Only a value outside the offered lists earns a note; the server's
    // port is such a value, the drive and the format row are not.
    if (key == "Device" || key == "Format") {
      EXPECT_EQ(r.err.find("not one of the values"), std::string::npos) << key << ": " << r.err;
    }
  }

  for (const auto& [key, value] : settings) EXPECT_EQ(qomhost({"config", "get", key}).out, value + "\n");
  const auto listed = qomhost({"config", "list"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  for (const auto& [key, value] : settings)
    EXPECT_NE(("\n" + listed.out).find("\n" + key + " = " + value + "\n"), std::string::npos) << key << " in\n"
                                                                                       << listed.out;

  // A new process on the stored drive, looking up on the stored server with
  // the stored e-mail in its greeting.
  const auto r = qomhost({"disc", "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const auto disc = nlohmann::json::parse(r.out);
  EXPECT_EQ(disc["drive"], "Road Image");
  EXPECT_EQ(disc["status"], "Ready");
  EXPECT_EQ(disc["discId"], id);
  EXPECT_EQ(disc["entries"], nlohmann::json::array({"The Road Crew / First Pressing [misc]"}));
  EXPECT_EQ(disc["album"], "First Pressing");
  EXPECT_NE(server.requests().find("hello=restart+example.org"), std::string::npos) << server.requests();

  // The disc command changed nothing; the file is JSON holding the UTF-8 text.
  EXPECT_EQ(qomhost({"config", "list"}).out, listed.out);
  const auto stored = nlohmann::json::parse(readFile(dir.file("config/config.json")), nullptr, false);
  ASSERT_FALSE(stored.is_discarded()) << readFile(dir.file("config/config.json"));
  EXPECT_NE(stored.dump().find("Caf\xC3\xA9 del Mar"), std::string::npos) << stored.dump();
}
