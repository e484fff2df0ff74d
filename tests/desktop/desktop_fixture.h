#pragma once
// One `qomhost desktop` under an Xvfb of the test's own, and what the
// desktop tests do with it: real X input through xdotool, the models read
// back from the state file qomhost writes on SIGUSR1, screenshots for people
// to look at. Used by the test's thread only.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "desktop/x_session.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace desktop_test {

using nlohmann::json;

// The first window (depth first) with this name in a dumped tree.
inline const json* findNamed(const json& node, const std::string& name) {
  if (node.value("name", "") == name) return &node;
  for (const json& child : node["children"])
    if (const json* found = findNamed(child, name)) return found;
  return nullptr;
}

// A window property anywhere in a dumped tree ("" when none has it).
inline std::string findProperty(const json& node, const std::string& key) {
  if (node.contains("properties") && node["properties"].contains(key)) return node["properties"][key];
  for (const json& child : node["children"])
    if (std::string value = findProperty(child, key); !value.empty()) return value;
  return {};
}

inline int center(const json& rect, const char* pos, const char* size) {
  return rect[pos].get<int>() + rect[size].get<int>() / 2;
}

// The middle of a dumped control's rectangle.
struct Point {
  int x = 0, y = 0;
};
inline Point middleOf(const json& control) {
  return {center(control["rect"], "x", "width"), center(control["rect"], "y", "height")};
}

// Where row `row` of a dumped list is on screen, `dx` pixels from its left.
inline Point rowPoint(const json& list, int row, int dx = 100) {
  const json& rect = list["rect"];
  const int rowHeight = list["rowHeight"].get<int>();
  return {rect["x"].get<int>() + dx, rect["y"].get<int>() + list["headerHeight"].get<int>() +
                                         rowHeight * (row - list["topRow"].get<int>()) + rowHeight / 2};
}

struct Desktop {
  testing_support::TempDir dir;
  std::string stateFile = dir.file("state.json");
  std::string log = dir.file("qomhost.log");
  std::string qomhost = testing_support::binDir() + "/qomhost";
  std::unique_ptr<XServer> x;
  std::unique_ptr<Process> host;
  std::string windowId;  // the component's window ("Rondel ...")

  std::string hostSaid() const { return testing_support::readFile(log); }

  testing_support::CommandResult xdotool(std::vector<std::string> args) {
    args.insert(args.begin(), findProgram("xdotool"));
    testing_support::ScopedEnv display("DISPLAY", x->display());
    return testing_support::runCommand(args);
  }

  // The first window whose name matches `pattern` ("" when none).
  std::string findWindow(const std::string& pattern) {
    auto r = xdotool({"search", "--name", pattern});
    if (r.exitCode != 0 || r.out.empty()) return {};
    return r.out.substr(0, r.out.find('\n'));
  }

  // Starts Xvfb, once per fixture.
  ::testing::AssertionResult startX() {
    if (!x) x = std::make_unique<XServer>(dir.file("xvfb.log"));
    if (x->ok()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "Xvfb did not start: " << testing_support::readFile(dir.file("xvfb.log"));
  }

  // `qomhost --config-dir configDir desktop`, waited for until the
  // component's window is on the display. The environment is the test's
  // plus the display and `extraEnv`.
  ::testing::AssertionResult startHost(const std::string& configDir, std::vector<std::string> extraEnv = {}) {
    extraEnv.push_back("DISPLAY=" + x->display());
    host = std::make_unique<Process>(
        std::vector<std::string>{qomhost, "--config-dir", configDir, "desktop", "--state-file", stateFile}, log,
        extraEnv);
    if (!host->started()) return ::testing::AssertionFailure() << "qomhost did not start";
    waitFor([&] {
      if (!host->running()) return true;  // reported below
      windowId = findWindow("^Rondel");
      return !windowId.empty();
    });
    if (!host->running())
      return ::testing::AssertionFailure() << "qomhost ended: " << hostSaid()
                                           << "\nXvfb said: " << testing_support::readFile(dir.file("xvfb.log"));
    if (windowId.empty())
      return ::testing::AssertionFailure() << "no window named Rondel within 30 s; qomhost said: " << hostSaid();
    return ::testing::AssertionSuccess();
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

  // Dumps until `check` holds on the whole state (bounded); the last state
  // seen either way, so a failure can show it.
  std::optional<json> waitForState(const std::function<bool(const json&)>& check,
                                   std::chrono::milliseconds bound = kWait) {
    std::optional<json> state;
    const bool held = waitFor(
        [&] {
          auto next = dump();
          if (next) state = std::move(next);
          return state && check(*state);
        },
        bound);
    last = state ? *state : json();
    return held ? state : std::nullopt;
  }

  // Dumps until `check` holds on the main window's models (bounded).
  std::optional<json> waitForModels(const std::function<bool(const json&)>& check,
                                    std::chrono::milliseconds bound = kWait) {
    auto state = waitForState(
        [&](const json& s) { return !s["frames"].empty() && check(s["frames"][0]["models"]); }, bound);
    if (!state) return std::nullopt;
    return (*state)["frames"][0]["models"];
  }

  // A click at (x, y) in the window `window`; `modifier` (such as "ctrl")
  // is held during the click.
  ::testing::AssertionResult clickIn(const std::string& window, Point at, const std::string& modifier = "") {
    std::vector<std::string> args{"mousemove", "--window", window, std::to_string(at.x), std::to_string(at.y)};
    if (!modifier.empty()) args.insert(args.end(), {"keydown", modifier});
    args.insert(args.end(), {"click", "1"});
    if (!modifier.empty()) args.insert(args.end(), {"keyup", modifier});
    return xdo(args);
  }

  // Keys (xdotool names such as "ctrl+a", "Return") and text, to whatever
  // has the keyboard: the window FLTK last showed (it takes the X focus
  // then; Xvfb runs no window manager to move it), and there the widget
  // last clicked.
  ::testing::AssertionResult keys(const std::vector<std::string>& names) {
    std::vector<std::string> args{"key", "--delay", "20"};
    args.insert(args.end(), names.begin(), names.end());
    return xdo(args);
  }
  // Replaces the text of the field under (x, y) in `window` by `text`.
  ::testing::AssertionResult retype(const std::string& window, Point at, const std::string& text) {
    if (auto r = clickIn(window, at); !r) return r;
    if (auto r = keys({"ctrl+a"}); !r) return r;
    return xdo({"type", "--delay", "20", text});
  }
  // xdotool `args` as an assertion, its complaint in the failure.
  ::testing::AssertionResult xdo(const std::vector<std::string>& args) {
    auto r = xdotool(args);
    if (r.exitCode == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "xdotool: " << r.err;
  }

  // A screenshot of the whole display, for people to look at.
  void screenshot(const std::string& name) { desktop_test::screenshot(*x, name); }

  // Lines the host printed that come from the toolkits (FLTK, GTK, GLib,
  // Xlib, fontconfig) rather than from qomhost itself.
  std::string toolkitWarnings() const {
    std::string found, line;
    std::istringstream in(hostSaid());
    while (std::getline(in, line))
      for (const char* mark : {"Gtk-", "GLib", "Gdk-", "Xlib", "X Error", "Fontconfig", "fltk", "FLTK", "Fl_",
                               "WARNING", "Warning", "warning", "CRITICAL"})
        if (line.find(mark) != std::string::npos) {
          found += line + "\n";
          break;
        }
    return found;
  }

  json last;  // the state the last wait saw, for failure messages
};

}  // namespace desktop_test
