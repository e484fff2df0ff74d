// The road of a drive with an unknown read offset (tools/emulated-drive
// delivering every sample 48 samples early) and a disc in the AccurateRip
// database (mkdisc writes its file, the local cddb-server serves it):
// without the offset every track is "not accurate" and the log says what
// to do; `qomhost offset find --save` finds +48 and stores it where
// cdr.dll reads it; the next rip is accurate with the confidence served.
// The logs are judged by iconv (UTF-8) and read as a user would.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/background_process.h"
#include "e2e/road/private_host.h"
#include "support/preload.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::runCommand;

namespace {

constexpr int kConfidence = 7;

class AccurateRipRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    const fs::path programs = testing_support::binDir();
    host = road_test::privateQomhost(dir.file("bin"));

    const char* source = std::getenv("RONDEL_SOURCE_DIR");
    ASSERT_NE(source, nullptr) << "ctest sets RONDEL_SOURCE_DIR";
    const auto made = runCommand({programs / "mkdisc", std::string(source) + "/tests/e2e/road/accuraterip-disc.json",
                                  "--out", dir.file("disc"), "--freedb", dir.file("freedb"), "--accuraterip",
                                  dir.file("ar"), "--accuraterip-confidence", std::to_string(kConfidence), "--json"});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    cue = json::parse(made.out)["cue"].get<std::string>();
    server = std::make_unique<testing_support::BackgroundProcess>(
        std::vector<std::string>{programs / "cddb-server", "--root", dir.file("freedb"), "--accuraterip",
                                 dir.file("ar"), "--listen", "127.0.0.1:0"},
        dir.file("server.out"));
    port = server->listeningPort();
    ASSERT_GT(port, 0) << server->log();
    set("Use Freedb", "1");
    set("Freedb Server", "127.0.0.1:" + std::to_string(port));
    set("EMail", "road@example.org");
  }

  testing_support::CommandResult run(std::vector<std::string> args) {
    const json script = {{"path", "/dev/sr0"}, {"cue", cue}, {"offset", 48}};
    testing_support::ScopedEnv drive("EMULATED_DRIVE", dir.write("drive.json", script.dump()));
    testing_support::ScopedEnv preload("LD_PRELOAD", emulated_drive::preloadValue());
    testing_support::ScopedEnv noConfig("CDR_CONFIG", "");
    testing_support::ScopedEnv offsets("CDR_OFFSETS", dir.file("config/cdr/offsets.json"));
    testing_support::ScopedEnv database("RONDEL_ACCURATERIP_URL",
                                        "http://127.0.0.1:" + std::to_string(port) + "/accuraterip/");
    testing_support::ScopedEnv timeouts("RONDEL_LOOKUP_TIMEOUTS", "2000,2000,10000");
    args.insert(args.begin(), {host, "--config-dir", dir.file("config")});
    return runCommand(args);
  }
  void set(const std::string& key, const std::string& value) {
    ASSERT_EQ(run({"config", "set", key, value}).exitCode, 0);
  }
  // Rips every track as JSON into a fresh folder; answers the tracks.
  json rip(const std::string& folder) {
    const auto r = run({"rip", "--all", "--json", "--output", dir.file(folder), "--timeout", "20"});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    const json result = json::parse(r.out, nullptr, false);
    EXPECT_TRUE(result.is_object()) << r.out;
    return result.is_object() ? result["tracks"] : json::array();
  }
  // The one log of the copy: its text, checked to be whole UTF-8 with no
  // temporary file left beside it.
  std::string logOf(const std::string& folder) {
    std::vector<std::string> logs;
    for (const std::string& f : testing_support::filesBelow(dir.file(folder)))
      if (f.find(".mp3") == std::string::npos) logs.push_back(f);
    EXPECT_EQ(logs.size(), 1u) << ::testing::PrintToString(logs);
    if (logs.size() != 1) return "";
    const std::string path = dir.file(folder) + "/" + logs[0];
    EXPECT_EQ(fs::path(logs[0]).parent_path(), fs::path("The Verified - Bit for Bit")) << "in the album folder";
    const auto utf8 = runCommand({testing_support::findProgram("iconv"), "-f", "UTF-8", "-t", "UTF-8", path});
    EXPECT_EQ(utf8.exitCode, 0) << utf8.err;
    const std::string text = testing_support::readFile(path);
    EXPECT_EQ(utf8.out, text);
    EXPECT_EQ(text.back(), '\n') << "complete";
    return text;
  }

  testing_support::TempDir dir;
  std::string host, cue;
  std::unique_ptr<testing_support::BackgroundProcess> server;
  int port = 0;
};

TEST_F(AccurateRipRoad, NotAccurateThenOffsetFindSaveThenAccurate) {
  REQUIRE_TOOLS("iconv");
  const auto disc = run({"disc", "--json", "--timeout", "20"});
  ASSERT_EQ(disc.exitCode, 0) << disc.err;
  const json ids = json::parse(disc.out)["accuraterip"];
  const std::string id1 = ids["id1"], path = ids["path"];
  ASSERT_EQ(id1.size(), 8u) << disc.out;
  const std::string folders = {id1[7], '/', id1[6], '/', id1[5]};
  EXPECT_EQ(path, folders + "/dBAR-003-" + id1 + "-" + ids["id2"].get<std::string>() + "-" +
                      ids["freedb"].get<std::string>() + ".bin");
  EXPECT_EQ(ids["lookup"], "found");
  EXPECT_TRUE(fs::exists(dir.file("ar/" + path))) << "mkdisc wrote the file the disc looks up";

  // Without the offset nothing verifies, and the log says why.
  json tracks = rip("before");
  ASSERT_EQ(tracks.size(), 3u);
  for (const json& t : tracks) {
    EXPECT_EQ(t["status"], "Copied");
    EXPECT_EQ(t["accuraterip"]["status"], "not_accurate") << t.dump();
    EXPECT_EQ(t["accuraterip"]["total"], kConfidence);
    EXPECT_EQ(t["crc32"].get<std::string>().size(), 8u);
  }
  std::string log = logOf("before");
  for (const char* line : {"Drive:         RONDEL EMULATED CD (/dev/sr0)\n", "Vendor:        RONDEL\n",
                           "Model:         EMULATED CD\n", "Read offset:   not set (0)\n", "Resync:        off\n",
                           "Track  1  Caf\xc3\xa9 Noise\n", "  Verdict:     not accurate\n",
                           "Summary: 3 tracks, 3 copied; 0 of 3 tracks accurate, 3 not accurate\n",
                           "qomhost offset find --save"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  EXPECT_NE(log.find(id1 + " " + ids["id2"].get<std::string>()), std::string::npos);
  EXPECT_NE(log.find("  Copy CRC:    " + tracks[0]["crc32"].get<std::string>() + "\n"), std::string::npos);

  // The search finds the offset and stores it for cdr.dll.
  const auto found = run({"offset", "find", "--save", "--timeout", "20"});
  ASSERT_EQ(found.exitCode, 0) << found.out << found.err;
  EXPECT_NE(found.out.find("Read offset: +48 samples\n"), std::string::npos) << found.out;
  EXPECT_NE(found.out.find("accurate (confidence 7 of 7"), std::string::npos) << found.out;
  EXPECT_NE(found.err.find("Searching: "), std::string::npos) << "progress is shown";
  EXPECT_EQ(json::parse(testing_support::readFile(dir.file("config/cdr/offsets.json"))),
            json({{"RONDEL EMULATED CD", 48}}));

  // Every later rip from the drive uses it, and verifies.
  tracks = rip("after");
  ASSERT_EQ(tracks.size(), 3u);
  for (const json& t : tracks) {
    EXPECT_EQ(t["accuraterip"]["status"], "accurate") << t.dump();
    EXPECT_EQ(t["accuraterip"]["confidence"], kConfidence);
    EXPECT_EQ(t["accuraterip"]["total"], kConfidence);
  }
  log = logOf("after");
  for (const char* line : {"Read offset:   +48 samples (offsets file)\n",
                           "  Verdict:     accurate (confidence 7 of 7, v",
                           "Summary: 3 tracks, 3 copied; All 3 tracks accurate\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
  EXPECT_EQ(log.find("offset find"), std::string::npos) << log;

  // Text output: the CRC and verdict after each "Copied", then the summary.
  const auto text = run({"rip", "--tracks", "2", "--output", dir.file("text"), "--timeout", "20"});
  EXPECT_EQ(text.exitCode, 0) << text.err;
  const std::size_t verdict = text.out.find(": accurate (confidence 7 of 7, v");
  ASSERT_NE(verdict, std::string::npos) << text.out;
  const std::string after = ")\nAccurateRip: The track is accurate\nLog:    ";
  EXPECT_EQ(text.out.substr(verdict + 33, after.size()), after) << text.out;
}

TEST_F(AccurateRipRoad, OffsetFindSaysWhenTheDiscIsNotInTheDatabase) {
  fs::remove_all(dir.file("ar"));
  fs::create_directory(dir.file("ar"));
  const auto r = run({"offset", "find", "--timeout", "20"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.err.find("not in the AccurateRip database"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir.file("config/cdr/offsets.json")));
}

}  // namespace
