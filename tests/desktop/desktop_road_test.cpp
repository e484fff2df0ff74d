// The road of one disc on the desktop, driven only by real X input: a made
// image in an image drive, a lookup against a local cddb-server with two
// entries, the second picked, a title and two rows' artist edited, Copy All,
// the files named from the edits, the disc ejected. And edits made
// on the preference pages surviving a restart of qomhost.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>

#include "desktop/desktop_fixture.h"
#include "integration/lookup_fixture.h"
#include "support/background_process.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using desktop_test::Desktop;
using desktop_test::findNamed;
using desktop_test::findProperty;
using desktop_test::middleOf;
using desktop_test::rowPoint;
using nlohmann::json;
using testing_support::binDir;
using testing_support::runCommand;

// The end-to-end road's disc (tests/e2e/road/road-disc.json): three short
// audio tracks and a data track last (what the tray of a CD-Extra holds);
// the data track never becomes a row.
constexpr int kAudioTracks = 3;

// mkdisc's entry for the disc with other titles: its header (disc id and
// offsets), as a second match in another category.
std::string secondEntry(const std::string& first) {
  std::string entry = first.substr(0, first.find("DTITLE=")) + "DTITLE=Second Band / Second Album\n"
                      "DYEAR=1999\nDGENRE=Rock\n";
  for (int t = 0; t <= kAudioTracks; ++t)  // the data track's title too
    entry += "TTITLE" + std::to_string(t) + "=Second Song " + std::to_string(t + 1) + "\n";
  return entry + "EXTD=\nPLAYORDER=\n";
}

const json& row(const json& models, int r) { return (*findNamed(models, "Tracks"))["rows"][r]; }

TEST(DesktopRoad, LookupPickEditCopyAllAndEject) {
  REQUIRE_TOOLS("Xvfb", "xdotool");
  Desktop d;
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  const std::string description = std::string(source != nullptr ? source : ".") + "/tests/e2e/road/road-disc.json";
  auto made = runCommand({binDir() + "/mkdisc", description, "--out", d.dir.file("disc"), "--freedb",
                          d.dir.file("freedb"), "--json"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  const json disc = json::parse(made.out);
  const std::string discId = disc["discid"];
  const std::string firstEntry = testing_support::readFile(disc["entry"]);

  testing_support::CddbServer server;
  ASSERT_TRUE(server.running());
  server.add("misc", discId, firstEntry);
  server.add("rock", discId, secondEntry(firstEntry));

  testing_support::ScopedEnv drives(
      "CDR_CONFIG", d.dir.write("cdr.json", R"({"drives":[{"type":"image","path":")" + disc["cue"].get<std::string>() + R"("}]})"));
  const std::string configDir = d.dir.file("config");
  const std::string out = d.dir.file("out");
  for (const auto& [item, value] : std::vector<std::pair<std::string, std::string>>{
           {"Use Freedb", "1"}, {"Freedb Server", server.address()}, {"EMail", "tester@example.org"},
           {"Use Output Folder", "1"}, {"Output Folder", testing_support::RipFixture::windowsForm(out)},
           {"Eject", "1"}}) {
    auto set = runCommand({d.qomhost, "--config-dir", configDir, "config", "set", item, value});
    ASSERT_EQ(set.exitCode, 0) << item << ": " << set.err;
  }

  ASSERT_TRUE(d.startX());
  // Short time-outs: a lookup that cannot finish fails the wait below soon.
  ASSERT_TRUE(d.startHost(configDir, {"RONDEL_LOOKUP_TIMEOUTS=2000,2000,10000"}));

  // The lookup offers both entries and applies the first.
  auto models = d.waitForModels([](const json& m) {
    return (*findNamed(m, "Entries"))["items"].size() == 2 && (*findNamed(m, "Status"))["text"] == "Ready" &&
           (*findNamed(m, "Tracks"))["rows"].size() == kAudioTracks;
  });
  ASSERT_TRUE(models) << "no two entries; last state: " << d.last.dump(1) << "\nqomhost said: " << d.hostSaid()
                      << "\nserver saw: " << server.requests();
  EXPECT_EQ((*findNamed(*models, "Album"))["text"], "First Pressing");
  EXPECT_EQ(row(*models, 0)["cells"][2], "Start");
  d.screenshot("road-01-lookup");

  // The second entry, picked in the drop-down: a click opens its menu
  // (which takes the keyboard), Down and Return choose the next item.
  const json entries = *findNamed(*models, "Entries");
  const int secondId = entries["items"][1]["id"];
  ASSERT_TRUE(d.clickIn(d.windowId, middleOf(entries)));
  ASSERT_TRUE(d.keys({"Down", "Return"}));
  models = d.waitForModels([&](const json& m) {
    return (*findNamed(m, "Entries"))["selectedId"] == secondId && (*findNamed(m, "Album"))["text"] == "Second Album";
  });
  ASSERT_TRUE(models) << "the second entry was not applied: " << d.last.dump(1);
  EXPECT_EQ((*findNamed(*models, "Artist"))["text"], "Second Band");
  EXPECT_EQ((*findNamed(*models, "Year"))["text"], "1999");
  // (The rows' new texts show in the file names at the end.)
  d.screenshot("road-02-second-entry");

  // One title edited: the second row selected, its Track field retyped.
  const json tracks = *findNamed(*models, "Tracks");
  ASSERT_TRUE(d.clickIn(d.windowId, rowPoint(tracks, 1)));
  ASSERT_TRUE(d.waitForModels([](const json& m) { return (*findNamed(m, "Tracks"))["selected"] == json::array({1}); }));
  ASSERT_TRUE(d.retype(d.windowId, middleOf(*findNamed(*models, "Track")), "Edited Title"));
  models = d.waitForModels([](const json& m) { return row(m, 1)["cells"][2] == "Edited Title"; });
  ASSERT_TRUE(models) << "the title edit did not reach the row: " << d.last.dump(1);
  d.screenshot("road-03-title");

  // The artist of two rows: the first clicked, the third added with Ctrl.
  ASSERT_TRUE(d.clickIn(d.windowId, rowPoint(tracks, 0)));
  ASSERT_TRUE(d.clickIn(d.windowId, rowPoint(tracks, 2), "ctrl"));
  ASSERT_TRUE(d.waitForModels([](const json& m) { return (*findNamed(m, "Tracks"))["selected"] == json::array({0, 2}); }))
      << d.last.dump(1);
  ASSERT_TRUE(d.retype(d.windowId, middleOf(*findNamed(*models, "Artist")), "Guest Star"));
  models = d.waitForModels([](const json& m) {
    return row(m, 0)["cells"][1] == "Guest Star" && row(m, 2)["cells"][1] == "Guest Star";
  });
  ASSERT_TRUE(models) << "the artist edit did not reach both rows: " << d.last.dump(1);
  d.screenshot("road-04-artist");

  // The list's keys: Up and Down move the selection, Shift extends it from
  // where it started; Tab reaches the list from the fields.
  const auto selected = [&](const json& rows) {
    return d.waitForModels([&](const json& m) { return (*findNamed(m, "Tracks"))["selected"] == rows; });
  };
  ASSERT_TRUE(d.clickIn(d.windowId, rowPoint(tracks, 0)));
  ASSERT_TRUE(selected({0}));
  ASSERT_TRUE(d.keys({"Down"}));
  EXPECT_TRUE(selected({1})) << d.last.dump(1);
  ASSERT_TRUE(d.keys({"Up", "shift+Down", "shift+Down"}));
  EXPECT_TRUE(selected({0, 1, 2})) << d.last.dump(1);
  ASSERT_TRUE(d.keys({"Up"}));
  EXPECT_TRUE(selected({1})) << d.last.dump(1);
  // From the Genre field: the Preferences button, the entries, Copy
  // Selected, Copy All (Cancel copying is off), then the list.
  ASSERT_TRUE(d.clickIn(d.windowId, middleOf(*findNamed(*models, "Genre"))));
  ASSERT_TRUE(d.keys({"Tab", "Tab", "Tab", "Tab", "Tab", "Down"}));
  EXPECT_TRUE(selected({2})) << "Tab did not reach the list: " << d.last.dump(1);
  d.screenshot("road-05-keys");

  // Copy All: every job ends "Copied" (the window property keeps it once
  // the rows are gone), then the disc is ejected and the poll finds none.
  const json copyAll = *findNamed(*models, "Copy All");
  ASSERT_TRUE(copyAll["enabled"].get<bool>());
  ASSERT_TRUE(d.clickIn(d.windowId, middleOf(copyAll)));
  models = d.waitForModels(
      [](const json& m) {
        for (int t = 1; t <= kAudioTracks; ++t)
          if (findProperty(m, "rip.status." + std::to_string(t)) != "Copied") return false;
        return (*findNamed(m, "Status"))["text"] == "No Disc";
      },
      std::chrono::seconds(60));
  ASSERT_TRUE(models) << "not every track copied, or no eject: " << d.last.dump(1) << "\nqomhost said: " << d.hostSaid();
  d.screenshot("road-06-copied");

  // The artists differ, so "Output Filename 3" names the files with the
  // edited texts; nothing else (no temporary file) is left in the folder
  // but the copy's log, which the desktop writes once the copy has ended,
  // with the edited title and the drive.
  const std::vector<std::string> expected{
      "Second Album/01. Guest Star - Second Song 1.mp3", "Second Album/02. Second Band - Edited Title.mp3",
      "Second Album/03. Guest Star - Second Song 3.mp3"};
  std::vector<std::string> logs;
  ASSERT_TRUE(testing_support::waitUntil([&] {
    logs.clear();
    testing_support::filesBelowButRipLogs(out, &logs);
    return !logs.empty();
  })) << "no rip log; qomhost said: " << d.hostSaid();
  ASSERT_EQ(testing_support::filesBelowButRipLogs(out), expected);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_EQ(std::filesystem::path(logs[0]).parent_path(), "Second Album");
  const std::string log = testing_support::readFile(out + "/" + logs[0]);
  EXPECT_NE(log.find("Track  2  Edited Title\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Summary: 3 tracks, "), std::string::npos) << log;
  // (What the files hold is read back by tests/e2e/road, whose window takes
  // the same edits headless.)

  // The desktop ends cleanly after a copy.
  d.host->signal(SIGTERM);
  const auto code = d.host->waitExit();
  ASSERT_TRUE(code) << "qomhost did not end within 30 s of SIGTERM";
  EXPECT_EQ(*code, 0) << d.hostSaid();
  EXPECT_EQ(d.toolkitWarnings(), "");
}

// The empty part of the preferences window's page tree, below its pages: a
// click there gives the tree the keyboard and changes no page.
constexpr desktop_test::Point kTreeSpace{100, 380};

// The preferences window, driven like the main window: FLTK gives a window
// the keyboard when it shows it, so keys reach its focused widget.
struct PrefsPage {
  Desktop& d;
  std::string window;  // the X window "Preferences"

  // The state once the page `id` shows (bounded), else nullopt.
  std::optional<json> waitForPage(const std::string& id) {
    return d.waitForState([&](const json& s) {
      return s["preferences"].is_object() && s["preferences"]["shown"] == true && s["preferences"]["page"] == id;
    });
  }
  // Opened with the main window's button: the state once its first page
  // shows, and `window` found.
  std::optional<json> open() {
    auto models = d.waitForModels([](const json& m) { return findNamed(m, "Preferences") != nullptr; });
    if (!models || !d.clickIn(d.windowId, middleOf(*findNamed(*models, "Preferences")))) return std::nullopt;
    auto state = waitForPage("rondel.options");
    window = d.findWindow("^Preferences$");
    return window.empty() ? std::nullopt : state;
  }
  // The page tree takes the keyboard after a click on its empty part
  // (below the four pages), which leaves its focus on the page shown; each
  // Down moves the focus to the next page and Space selects it. The state
  // once page `id` shows.
  std::optional<json> stepTo(int downs, const std::string& id) {
    std::vector<std::string> keys(static_cast<std::size_t>(downs), "Down");
    keys.push_back("space");
    if (!d.clickIn(window, kTreeSpace) || !d.keys(keys)) return std::nullopt;
    return waitForPage(id);
  }
  // The dumped control bound to `item` on the page shown (a missing one is
  // a test failure, thrown).
  const json& control(const json& state, const std::string& item) {
    if (state["preferences"].is_object())
      for (const json& c : state["preferences"]["controls"])
        if (c["item"] == item) return c;
    throw std::runtime_error("no control for " + item + " in " + state["preferences"].dump());
  }
  // A check box is toggled by a click on its box, at its left end.
  ::testing::AssertionResult toggle(const json& state, const std::string& item) {
    const json& c = control(state, item);
    return d.clickIn(window, {c["rect"]["x"].get<int>() + 8, desktop_test::center(c["rect"], "y", "height")});
  }
  // A text field: its left part (a combo's button is at its right end).
  desktop_test::Point field(const json& state, const std::string& item) {
    const json& c = control(state, item);
    return {c["rect"]["x"].get<int>() + 20, desktop_test::center(c["rect"], "y", "height")};
  }
};

std::string configGet(const std::string& qomhost, const std::string& configDir, const std::string& item) {
  auto r = runCommand({qomhost, "--config-dir", configDir, "config", "get", item});
  return r.exitCode == 0 && !r.out.empty() ? r.out.substr(0, r.out.size() - 1) : "(error " + r.err + ")";
}

TEST(DesktopRoad, PreferencePageEditsSurviveARestart) {
  REQUIRE_TOOLS("Xvfb", "xdotool");
  Desktop d;
  testing_support::ScopedEnv noDrives("CDR_CONFIG", d.dir.write("cdr.json", R"({"drives": []})"));
  const std::string configDir = d.dir.file("config");
  // One value from the command line before the desktop starts.
  ASSERT_EQ(runCommand({d.qomhost, "--config-dir", configDir, "config", "set", "Proxy Server", "proxy.example.org:3128"})
                .exitCode,
            0);
  const std::string ogg = "2: Ogg Vorbis [.ogg] - 112 kbit/s";
  const std::string server = "cddb.example.net:8880";
  const std::string pattern = "<artist>\\<album>\\<number> <track>";

  ASSERT_TRUE(d.startX());
  ASSERT_TRUE(d.startHost(configDir));
  PrefsPage prefs{d, ""};
  auto state = prefs.open();
  ASSERT_TRUE(state) << "the preferences did not open on their first page: " << d.last["preferences"].dump();
  EXPECT_TRUE((*state)["preferences"]["pages"][0]["selected"]) << (*state)["preferences"].dump();
  EXPECT_EQ(prefs.control(*state, "Eject")["kind"], "checkbox");
  EXPECT_EQ(prefs.control(*state, "Eject")["value"], "0");

  // First page: "Eject" on, the format switched to the second entry.
  ASSERT_TRUE(prefs.toggle(*state, "Eject"));
  ASSERT_TRUE(d.clickIn(prefs.window, middleOf(prefs.control(*state, "Format"))));
  ASSERT_TRUE(d.keys({"Down", "Return"}));
  ASSERT_TRUE(d.waitForState([&](const json& s) { return s["config"]["Eject"] == "1" && s["config"]["Format"] == ogg; }))
      << d.last["config"].dump();
  EXPECT_EQ(prefs.control(d.last, "Format")["value"], ogg);

  // "Output": the various-artists file name retyped.
  state = prefs.stepTo(1, "rondel.options.output");
  ASSERT_TRUE(state) << d.last["preferences"].dump();
  ASSERT_TRUE(d.retype(prefs.window, prefs.field(*state, "Output Filename 3"), pattern));
  ASSERT_TRUE(d.waitForState([&](const json& s) { return s["config"]["Output Filename 3"] == pattern; }))
      << d.last["config"].dump();

  // "Freedb" (two pages on): lookups off, another server typed into the
  // combo's text field.
  state = prefs.stepTo(2, "rondel.options.freedb");
  ASSERT_TRUE(state) << d.last["preferences"].dump();
  ASSERT_TRUE(prefs.toggle(*state, "Use Freedb"));
  ASSERT_TRUE(d.retype(prefs.window, prefs.field(*state, "Freedb Server"), server));
  ASSERT_TRUE(d.waitForState([&](const json& s) {
    return s["config"]["Use Freedb"] == "0" && s["config"]["Freedb Server"] == server;
  })) << d.last["config"].dump();
  d.screenshot("restart-01-edited");

  // Closed from the launcher bar: Escape there runs the bar's close, which
  // ends the program. Xvfb has no window manager to hand the keyboard to a
  // window the user turns to, so the test gives it to the bar itself.
  const std::string launcher = d.findWindow("^qomhost$");
  ASSERT_FALSE(launcher.empty());
  ASSERT_TRUE(d.xdo({"windowfocus", "--sync", launcher, "key", "Escape"}));
  auto code = d.host->waitExit();
  ASSERT_TRUE(code) << "qomhost did not end after Escape in the launcher bar";
  EXPECT_EQ(*code, 0) << d.hostSaid();

  // Stored: what the command line reads, and the file itself.
  const std::vector<std::pair<std::string, std::string>> edited{
      {"Eject", "1"},        {"Format", ogg},       {"Output Filename 3", pattern}, {"Use Freedb", "0"},
      {"Freedb Server", server}, {"Proxy Server", "proxy.example.org:3128"}};
  for (const auto& [item, value] : edited) EXPECT_EQ(configGet(d.qomhost, configDir, item), value) << item;
  const std::string file = testing_support::readFile(configDir + "/config.json");
  for (const auto& [item, value] : edited)
    EXPECT_NE(file.find(json(item).dump() + ": " + json(value).dump()), std::string::npos) << item << "\n" << file;

  // A new process shows the stored values on the pages again.
  ASSERT_TRUE(d.startHost(configDir));
  state = prefs.open();
  ASSERT_TRUE(state) << d.last["preferences"].dump();
  d.screenshot("restart-02-after");
  EXPECT_EQ(prefs.control(*state, "Eject")["value"], "1");
  EXPECT_EQ(prefs.control(*state, "Format")["value"], ogg);
  state = prefs.stepTo(1, "rondel.options.output");
  ASSERT_TRUE(state) << d.last["preferences"].dump();
  EXPECT_EQ(prefs.control(*state, "Output Filename 3")["value"], pattern);
  state = prefs.stepTo(2, "rondel.options.freedb");
  ASSERT_TRUE(state) << d.last["preferences"].dump();
  EXPECT_EQ(prefs.control(*state, "Use Freedb")["value"], "0");
  EXPECT_EQ(prefs.control(*state, "Freedb Server")["value"], server);
  // "Close" takes the preferences away; the button opens them again.
  ASSERT_TRUE(d.clickIn(prefs.window, middleOf(json{{"rect", (*state)["preferences"]["close"]}})));
  EXPECT_TRUE(d.waitForState([](const json& s) { return s["preferences"]["shown"] == false; }))
      << d.last["preferences"].dump();

  // The launcher icon tells what it is while the pointer is over it; a
  // click hides the main window and the next shows the same one again.
  const std::string bar = d.findWindow("^qomhost$");
  ASSERT_FALSE(bar.empty());
  const json icon = d.last["launcherBar"]["children"][0];
  ASSERT_EQ(icon["kind"], "icon");
  const desktop_test::Point over = middleOf(icon);
  ASSERT_TRUE(d.xdo({"mousemove", "--window", bar, std::to_string(over.x), std::to_string(over.y)}));
  EXPECT_TRUE(d.waitForState([](const json& s) { return !s["launcherHover"].get<std::string>().empty(); }))
      << "no hover text for the launcher icon";
  for (std::size_t shown : {0u, 1u}) {
    ASSERT_TRUE(d.clickIn(bar, middleOf(icon)));
    EXPECT_TRUE(d.waitForState([&](const json& s) { return s["frames"].size() == shown; }))
        << "launcher click did not " << (shown ? "show" : "hide") << " the window";
  }

  // SIGTERM ends the loop cleanly and writes the final state.
  std::filesystem::remove(d.stateFile);
  d.host->signal(SIGTERM);
  code = d.host->waitExit();
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0) << d.hostSaid();
  const json final = json::parse(testing_support::readFile(d.stateFile), nullptr, false);
  ASSERT_FALSE(final.is_discarded()) << "no final state file";
  ASSERT_EQ(final["frames"].size(), 1u);
  EXPECT_NE(findNamed(final["frames"][0]["models"], "Tracks"), nullptr);
  EXPECT_EQ(final["config"]["Use Freedb"], "0");
  EXPECT_EQ(d.toolkitWarnings(), "");
}

// "Select output folder." at a copy command: the chooser opens in "Output
// Folder" at first, and after that in the folder chosen last, even when
// "Output Folder" changed meanwhile. Return takes the folder it shows, so
// where the file lands says where it opened.
TEST(DesktopRoad, TheFolderChooserOpensInOutputFolderThenInTheLastChosen) {
  REQUIRE_TOOLS("Xvfb", "xdotool");
  Desktop d;
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  const std::string description = std::string(source != nullptr ? source : ".") + "/tests/e2e/road/road-disc.json";
  auto made = runCommand({binDir() + "/mkdisc", description, "--out", d.dir.file("disc"), "--json"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  testing_support::ScopedEnv drives(
      "CDR_CONFIG", d.dir.write("cdr.json", R"({"drives":[{"type":"image","path":")" +
                                                json::parse(made.out)["cue"].get<std::string>() + R"("}]})"));
  const std::string configDir = d.dir.file("config");
  const std::string setting = d.dir.file("setting"), other = d.dir.file("other");
  std::filesystem::create_directories(setting);
  std::filesystem::create_directories(other);
  for (const auto& [item, value] : std::vector<std::pair<std::string, std::string>>{
           {"Use Freedb", "0"}, {"Use Output Folder", "0"},
           {"Output Folder", testing_support::RipFixture::windowsForm(setting)}}) {
    auto set = runCommand({d.qomhost, "--config-dir", configDir, "config", "set", item, value});
    ASSERT_EQ(set.exitCode, 0) << item << ": " << set.err;
  }
  ASSERT_TRUE(d.startX());
  ASSERT_TRUE(d.startHost(configDir));
  auto models = d.waitForModels([](const json& m) { return (*findNamed(m, "Tracks"))["rows"].size() == kAudioTracks; });
  ASSERT_TRUE(models) << d.last.dump(1);
  const json tracks = *findNamed(*models, "Tracks");

  // Copies row `row` into the folder the chooser opens in.
  const auto copyRow = [&](int row, const std::string& shot) {
    EXPECT_TRUE(d.clickIn(d.windowId, rowPoint(tracks, row)));
    EXPECT_TRUE(d.clickIn(d.windowId, middleOf(*findNamed(*models, "Copy Selected"))));
    std::string chooser;
    EXPECT_TRUE(desktop_test::waitFor([&] { return !(chooser = d.findWindow("^Select output folder")).empty(); }))
        << "no folder chooser";
    if (chooser.empty()) return;
    d.screenshot(shot);
    EXPECT_TRUE(d.xdo({"windowfocus", "--sync", chooser, "key", "Return"}));
    EXPECT_TRUE(d.waitForModels([&](const json& m) {
      return findProperty(m, "rip.status." + std::to_string(row + 1)) == "Copied";
    })) << d.last.dump(1);
  };
  copyRow(0, "chooser-01-output-folder");
  EXPECT_EQ(testing_support::filesBelowButRipLogs(setting), std::vector<std::string>{"Unknown Artist - Track 01.mp3"});

  // "Output Folder" changed on its preference page; the chooser still
  // opens where the user chose last.
  PrefsPage prefs{d, ""};
  ASSERT_TRUE(prefs.open());
  auto state = prefs.stepTo(1, "rondel.options.output");
  ASSERT_TRUE(state) << d.last["preferences"].dump();
  const std::string otherSetting = testing_support::RipFixture::windowsForm(other);
  ASSERT_TRUE(d.retype(prefs.window, prefs.field(*state, "Output Folder"), otherSetting));
  ASSERT_TRUE(d.waitForState([&](const json& s) { return s["config"]["Output Folder"] == otherSetting; }))
      << d.last["config"].dump();
  // Closed, so that it no longer covers the rows.
  ASSERT_TRUE(d.clickIn(prefs.window, middleOf(json{{"rect", (*state)["preferences"]["close"]}})));
  ASSERT_TRUE(d.waitForState([](const json& s) { return s["preferences"]["shown"] == false; }));
  copyRow(1, "chooser-02-last-chosen");
  EXPECT_EQ(testing_support::filesBelowButRipLogs(setting),
            (std::vector<std::string>{"Unknown Artist - Track 01.mp3", "Unknown Artist - Track 02.mp3"}));
  EXPECT_TRUE(testing_support::filesBelowButRipLogs(other).empty());

  d.host->signal(SIGTERM);
  const auto code = d.host->waitExit();
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0) << d.hostSaid();
  EXPECT_EQ(d.toolkitWarnings(), "");
}

TEST(DesktopRoad, WithoutADisplaySaysSoAndExits2) {
  testing_support::TempDir dir;
  testing_support::ScopedEnv noDisplay("DISPLAY", ":65000");
  testing_support::ScopedEnv noDrives("CDR_CONFIG", dir.write("cdr.json", R"({"drives": []})"));
  auto r = runCommand({binDir() + "/qomhost", "--config-dir", dir.file("config"), "desktop"});
  EXPECT_EQ(r.exitCode, 2);
  EXPECT_NE(r.err.find("no display"), std::string::npos) << r.err;
}

}  // namespace
