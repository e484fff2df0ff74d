// qomhost's desktop under Xvfb: a made disc in an image drive, the real
// component, real X input through xdotool. The test reads what the models
// hold from the state file qomhost writes on SIGUSR1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "desktop/desktop_fixture.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using desktop_test::center;
using desktop_test::Desktop;
using desktop_test::findNamed;
using nlohmann::json;
using testing_support::binDir;
using testing_support::runCommand;

TEST(Desktop, ShowsTheMadeDiscAndTakesClicksAndTyping) {
  DESKTOP_TEST_REQUIRE_X_TOOLS();
  Desktop d;
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  auto made = runCommand({binDir() + "/mkdisc", std::string(source) + "/tests/data/discs/demo.json", "--out",
                          d.dir.file("disc"), "--json"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const std::string cue = json::parse(made.out)["cue"];
  testing_support::ScopedEnv drives(
      "CDR_CONFIG", d.dir.write("cdr.json", R"({"drives":[{"type":"image","path":")" + cue + R"("}]})"));
  const std::string configDir = d.dir.file("config");
  ASSERT_EQ(runCommand({d.qomhost, "--config-dir", configDir, "config", "set", "Use Freedb", "0"}).exitCode, 0);
  ASSERT_TRUE(d.startX());
  ASSERT_TRUE(d.startHost(configDir));

  // The image's five audio tracks with the default texts.
  auto models = d.waitForModels([](const json& m) {
    const json* tracks = findNamed(m, "Tracks");
    return tracks != nullptr && (*tracks)["rows"].size() == 5;
  });
  ASSERT_TRUE(models) << "the track list never showed 5 rows; qomhost said: " << d.hostSaid();
  const json tracks = *findNamed(*models, "Tracks");
  EXPECT_EQ(tracks["rows"][1]["cells"][1], "Unknown Artist");
  EXPECT_EQ(tracks["rows"][1]["cells"][2], "Track 02");

  // A click on the second row selects it alone.
  ASSERT_TRUE(d.clickIn(d.windowId, desktop_test::rowPoint(tracks, 1)));
  models = d.waitForModels([](const json& m) { return (*findNamed(m, "Tracks"))["selected"] == json::array({1}); });
  ASSERT_TRUE(models) << "the second row did not get selected";

  // Typing into the Track field renames the selected row.
  const std::string title = "Night Train";
  ASSERT_TRUE(d.retype(d.windowId, desktop_test::middleOf(*findNamed(*models, "Track")), title));
  models = d.waitForModels([&](const json& m) {
    return (*findNamed(m, "Track"))["text"] == title && (*findNamed(m, "Tracks"))["rows"][1]["cells"][2] == title;
  });
  EXPECT_TRUE(models) << "typed title not in the models";

  d.screenshot("main-window");

  // The window's "Preferences..." asks the host for its page; a checkbox
  // there writes its item at once.
  ASSERT_TRUE(d.clickIn(d.windowId, desktop_test::middleOf(*findNamed(*models, "Preferences"))));
  auto state = d.waitForState([](const json& s) { return s["preferences"].is_object() && s["preferences"]["shown"] == true; });
  ASSERT_TRUE(state) << "the preferences window did not open";
  EXPECT_EQ((*state)["preferences"]["page"], "rondel.options");
  const json* eject = Desktop::prefControl(*state, "Eject");
  ASSERT_NE(eject, nullptr) << (*state)["preferences"].dump();
  EXPECT_EQ((*eject)["kind"], "checkbox");
  EXPECT_EQ((*eject)["value"], "0");
  const json& pages = (*state)["preferences"]["pages"];
  ASSERT_FALSE(pages.empty());
  EXPECT_TRUE(pages[0]["selected"]) << pages.dump();
  const std::string prefsWindow = d.findWindow("^Preferences$");
  ASSERT_FALSE(prefsWindow.empty());
  ASSERT_TRUE(d.clickIn(prefsWindow, {(*eject)["rect"]["x"].get<int>() + 8, center((*eject)["rect"], "y", "height")}));
  state = d.waitForState([](const json& s) { return s["config"]["Eject"] == "1"; });
  EXPECT_TRUE(state) << "the Eject checkbox did not set the item";
  d.screenshot("preferences");

  // The launcher icon tells what it is while the pointer is over it; a
  // click hides the window and the next shows a fresh one.
  const std::string launcher = d.findWindow("^qomhost$");
  ASSERT_FALSE(launcher.empty());
  const json icon = d.last["launcherBar"]["children"][0];
  ASSERT_EQ(icon["kind"], "icon");
  ASSERT_EQ(d.xdotool({"mousemove", "--window", launcher, std::to_string(center(icon["rect"], "x", "width")),
                       std::to_string(center(icon["rect"], "y", "height"))}).exitCode, 0);
  EXPECT_TRUE(d.waitForState([](const json& s) { return !s["launcherHover"].get<std::string>().empty(); }))
      << "no hover text for the launcher icon";
  for (std::size_t shown : {0u, 1u}) {
    ASSERT_TRUE(d.clickIn(launcher, desktop_test::middleOf(icon)));
    EXPECT_TRUE(d.waitForState([&](const json& s) { return s["frames"].size() == shown; }))
        << "launcher click did not " << (shown ? "show" : "hide") << " the window";
  }

  // SIGTERM ends the loop cleanly and writes the final state.
  std::filesystem::remove(d.stateFile);
  d.host->signal(SIGTERM);
  const auto code = d.host->waitExit();
  ASSERT_TRUE(code) << "qomhost did not end within 30 s of SIGTERM";
  EXPECT_EQ(*code, 0) << d.hostSaid();
  const json final = json::parse(testing_support::readFile(d.stateFile), nullptr, false);
  ASSERT_FALSE(final.is_discarded()) << "no final state file";
  ASSERT_EQ(final["frames"].size(), 1u);
  EXPECT_NE(findNamed(final["frames"][0]["models"], "Tracks"), nullptr);
  EXPECT_EQ(final["config"]["Use Freedb"], "0");
  // The configuration store saved the change.
  EXPECT_EQ(runCommand({d.qomhost, "--config-dir", configDir, "config", "get", "Eject"}).out, "1\n");
}

TEST(Desktop, WithoutADisplaySaysSoAndExits2) {
  testing_support::TempDir dir;
  testing_support::ScopedEnv noDisplay("DISPLAY", ":65000");
  testing_support::ScopedEnv noDrives("CDR_CONFIG", dir.write("cdr.json", R"({"drives": []})"));
  auto r = runCommand({binDir() + "/qomhost", "--config-dir", dir.file("config"), "desktop"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("no display"), std::string::npos) << r.err;
}

}  // namespace
