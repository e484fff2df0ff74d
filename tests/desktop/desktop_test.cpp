// qomhost's desktop under Xvfb: a made disc in an image drive, the real
// component, real X input through xdotool. The test reads what the models
// hold from the state file qomhost writes on SIGUSR1.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "desktop/x_session.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using desktop_test::Process;
using desktop_test::waitFor;
using nlohmann::json;
using testing_support::binDir;
using testing_support::runCommand;

// The first window (depth first) with this name in a dumped tree.
const json* findNamed(const json& node, const std::string& name) {
  if (node.value("name", "") == name) return &node;
  for (const json& child : node["children"])
    if (const json* found = findNamed(child, name)) return found;
  return nullptr;
}

struct Desktop {
  testing_support::TempDir dir;
  std::string stateFile = dir.file("state.json");
  std::unique_ptr<desktop_test::XServer> x;
  std::unique_ptr<Process> host;
  std::string windowId;

  std::vector<std::string> xenv() const { return {"DISPLAY=" + x->display()}; }

  testing_support::CommandResult xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), desktop_test::findProgram("xdotool"));
    testing_support::ScopedEnv display("DISPLAY", x->display());
    return runCommand(args);
  }

  // Asks qomhost for its state and waits for the new file.
  std::optional<json> dump() {
    std::filesystem::remove(stateFile);
    host->signal(SIGUSR1);
    if (!waitFor([&] { return std::filesystem::exists(stateFile) || !host->running(); })) return std::nullopt;
    json state = json::parse(testing_support::readFile(stateFile), nullptr, false);
    if (state.is_discarded()) return std::nullopt;
    return state;
  }

  // Dumps until `check` holds on the main window's models (bounded).
  std::optional<json> waitForModels(const std::function<bool(const json&)>& check) {
    std::optional<json> models;
    waitFor([&] {
      auto state = dump();
      if (!state || (*state)["frames"].empty()) return false;
      models = (*state)["frames"][0]["models"];
      return check(*models);
    });
    if (models && check(*models)) return models;
    return std::nullopt;
  }

  void clickAt(int x, int y) {
    auto r = xdotool({"mousemove", "--window", windowId, std::to_string(x), std::to_string(y), "click", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
  }
};

int center(const json& rect, const char* pos, const char* size) {
  return rect[pos].get<int>() + rect[size].get<int>() / 2;
}

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
  const std::string qomhost = binDir() + "/qomhost";
  const std::string configDir = d.dir.file("config");
  ASSERT_EQ(runCommand({qomhost, "--config-dir", configDir, "config", "set", "Use Freedb", "0"}).exitCode, 0);

  d.x = std::make_unique<desktop_test::XServer>(d.dir.file("xvfb.log"));
  ASSERT_TRUE(d.x->ok()) << "Xvfb did not start: " << testing_support::readFile(d.dir.file("xvfb.log"));
  const std::string log = d.dir.file("qomhost.log");
  d.host = std::make_unique<Process>(
      std::vector<std::string>{qomhost, "--config-dir", configDir, "desktop", "--state-file", d.stateFile},
      d.xenv(), log);
  ASSERT_TRUE(d.host->started());

  ASSERT_TRUE(waitFor([&] {
    if (!d.host->running()) return true;  // reported below
    auto r = d.xdotool({"search", "--name", "^Rondel"});
    if (r.exitCode != 0 || r.out.empty()) return false;
    d.windowId = r.out.substr(0, r.out.find('\n'));
    return true;
  })) << "no window named Rondel within 30 s; qomhost said: " << testing_support::readFile(log);
  ASSERT_TRUE(d.host->running()) << "qomhost ended: " << testing_support::readFile(log);

  // The image's five audio tracks with the default texts.
  auto models = d.waitForModels([](const json& m) {
    const json* tracks = findNamed(m, "Tracks");
    return tracks != nullptr && (*tracks)["rows"].size() == 5;
  });
  ASSERT_TRUE(models) << "the track list never showed 5 rows; qomhost said: " << testing_support::readFile(log);
  const json tracks = *findNamed(*models, "Tracks");
  EXPECT_EQ(tracks["rows"][1]["cells"][1], "Unknown Artist");
  EXPECT_EQ(tracks["rows"][1]["cells"][2], "Track 02");

  // A click on the second row selects it alone.
  const json& rect = tracks["rect"];
  const int rowY = rect["y"].get<int>() + tracks["headerHeight"].get<int>() +
                   tracks["rowHeight"].get<int>() * (1 - tracks["topRow"].get<int>()) +
                   tracks["rowHeight"].get<int>() / 2;
  d.clickAt(rect["x"].get<int>() + 100, rowY);
  models = d.waitForModels([](const json& m) { return (*findNamed(m, "Tracks"))["selected"] == json::array({1}); });
  ASSERT_TRUE(models) << "the second row did not get selected";

  // Typing into the Track field renames the selected row.
  const json trackRect = (*findNamed(*models, "Track"))["rect"];
  d.clickAt(center(trackRect, "x", "width"), center(trackRect, "y", "height"));
  ASSERT_EQ(d.xdotool({"key", "--delay", "20", "ctrl+a"}).exitCode, 0);
  const std::string title = "Night Train";
  ASSERT_EQ(d.xdotool({"type", "--delay", "20", title}).exitCode, 0);
  models = d.waitForModels([&](const json& m) {
    return (*findNamed(m, "Track"))["text"] == title && (*findNamed(m, "Tracks"))["rows"][1]["cells"][2] == title;
  });
  EXPECT_TRUE(models) << "typed title not in the models";

  // For people to look at.
  const std::string shots = binDir() + "/../desktop-test";
  std::filesystem::create_directories(shots);
  const std::string ffmpeg = desktop_test::findProgram("ffmpeg");
  if (!ffmpeg.empty()) {
    auto shot = runCommand({ffmpeg, "-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "1024x768", "-i",
                            d.x->display(), "-frames:v", "1", shots + "/main-window.png"});
    EXPECT_EQ(shot.exitCode, 0) << shot.err;
  }

  // The window's "Preferences..." asks the host for its page; a checkbox
  // there writes its item at once.
  const json prefsButton = (*findNamed(*models, "Preferences"))["rect"];
  d.clickAt(center(prefsButton, "x", "width"), center(prefsButton, "y", "height"));
  std::optional<json> state;
  ASSERT_TRUE(waitFor([&] {
    state = d.dump();
    return state && (*state)["preferences"].is_object() && (*state)["preferences"]["shown"] == true;
  })) << "the preferences window did not open";
  EXPECT_EQ((*state)["preferences"]["page"], "rondel.options");
  json eject;
  for (const json& control : (*state)["preferences"]["controls"])
    if (control["item"] == "Eject") eject = control;
  ASSERT_TRUE(eject.is_object()) << (*state)["preferences"].dump();
  EXPECT_EQ(eject["kind"], "checkbox");
  auto prefsWindow = d.xdotool({"search", "--name", "^Preferences$"});
  ASSERT_EQ(prefsWindow.exitCode, 0) << prefsWindow.err;
  ASSERT_EQ(d.xdotool({"mousemove", "--window", prefsWindow.out.substr(0, prefsWindow.out.find('\n')),
                       std::to_string(eject["rect"]["x"].get<int>() + 8), std::to_string(center(eject["rect"], "y", "height")),
                       "click", "1"}).exitCode, 0);
  EXPECT_TRUE(waitFor([&] {
    state = d.dump();
    return state && (*state)["config"]["Eject"] == "1";
  })) << "the Eject checkbox did not set the item";
  if (!ffmpeg.empty())
    runCommand({ffmpeg, "-loglevel", "error", "-y", "-f", "x11grab", "-video_size", "1024x768", "-i",
                d.x->display(), "-frames:v", "1", shots + "/preferences.png"});

  // The launcher icon tells what it is while the pointer is over it; a
  // click hides the window and the next shows a fresh one.
  auto launcher = d.xdotool({"search", "--name", "^qomhost$"});
  ASSERT_EQ(launcher.exitCode, 0) << launcher.err;
  d.windowId = launcher.out.substr(0, launcher.out.find('\n'));
  const json icon = (*state)["launcherBar"]["children"][0];
  ASSERT_EQ(icon["kind"], "icon");
  ASSERT_EQ(d.xdotool({"mousemove", "--window", d.windowId, std::to_string(center(icon["rect"], "x", "width")),
                       std::to_string(center(icon["rect"], "y", "height"))}).exitCode, 0);
  EXPECT_TRUE(waitFor([&] {
    state = d.dump();
    return state && !(*state)["launcherHover"].get<std::string>().empty();
  })) << "no hover text for the launcher icon";
  for (std::size_t shown : {0u, 1u}) {
    d.clickAt(center(icon["rect"], "x", "width"), center(icon["rect"], "y", "height"));
    EXPECT_TRUE(waitFor([&] {
      state = d.dump();
      return state && (*state)["frames"].size() == shown;
    })) << "launcher click did not " << (shown ? "show" : "hide") << " the window";
  }

  // SIGTERM ends the loop cleanly and writes the final state.
  std::filesystem::remove(d.stateFile);
  d.host->signal(SIGTERM);
  const auto code = d.host->waitExit();
  ASSERT_TRUE(code) << "qomhost did not end within 30 s of SIGTERM";
  EXPECT_EQ(*code, 0) << testing_support::readFile(log);
  const json final = json::parse(testing_support::readFile(d.stateFile), nullptr, false);
  ASSERT_FALSE(final.is_discarded()) << "no final state file";
  ASSERT_EQ(final["frames"].size(), 1u);
  EXPECT_NE(findNamed(final["frames"][0]["models"], "Tracks"), nullptr);
  EXPECT_EQ(final["config"]["Use Freedb"], "0");
  // The configuration store saved the change.
  EXPECT_EQ(runCommand({qomhost, "--config-dir", configDir, "config", "get", "Eject"}).out, "1\n");
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
