#include "host/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "host/disc_command.h"
#include "host/rip_command.h"
#include "host/desktop.h"
#include "host/host_session.h"
#include "host/text_list.h"
#include "platform/codepage.h"
#include "platform/winpath.h"
#include "sdk/config.h"

namespace qomhost {
namespace {

constexpr int kExitUsage = 2;  // unknown key, value that does not fit

std::string out(const std::string& cp1252) { return platform::cp1252ToUtf8(cp1252); }

int configList(HostSession& session) {
  for (qom::ConfigGroup* g : session.host().configGroups())
    for (int i = 0; i < g->itemCount(); ++i)
      if (qom::ConfigItem* item = g->itemAt(i))
        std::cout << out(item->name()) << " = " << out(item->text()) << "\n";
  return 0;
}

qom::ConfigItem* requireItem(HostSession& session, const std::string& key) {
  qom::ConfigItem* item = session.findItem(key);
  if (item == nullptr) std::cerr << "qomhost: unknown configuration key \"" << key << "\"\n";
  return item;
}

int configGet(HostSession& session, const std::string& keyUtf8) {
  qom::ConfigItem* item = requireItem(session, platform::utf8ToCp1252(keyUtf8));
  if (item == nullptr) return kExitUsage;
  std::cout << out(item->text()) << "\n";
  return 0;
}

int configSet(HostSession& session, const std::string& keyUtf8, const std::string& valueUtf8) {
  const std::string key = platform::utf8ToCp1252(keyUtf8);
  qom::ConfigItem* item = requireItem(session, key);
  if (item == nullptr) return kExitUsage;
  const std::string value = platform::utf8ToCp1252(valueUtf8);
  if (key == "Output Folder" && platform::isNetworkSharePath(value)) {
    std::cerr << "qomhost: \"Output Folder\" cannot be a network share (" << valueUtf8
              << "): mount it and give the mounted folder under a drive letter (/ is Z:\\, "
                 "$HOME is C:\\, more with QOM_DRIVE_MAP)\n";
    return kExitUsage;
  }
  if (item->type() == qom::kConfigTypeBool) {
    if (value != "0" && value != "1") {
      std::cerr << "qomhost: \"" << keyUtf8 << "\" is on or off: give 0 or 1, not \"" << valueUtf8
                << "\"\n";
      return kExitUsage;
    }
  } else if (std::string feed = session.feedOfItem(key); !feed.empty()) {
    // The component takes values outside its lists (a custom server, a drive
    // that is gone), so this is only a note.
    if (auto list = session.host().feedList(feed)) {
      auto items = splitList(*list);
      if (std::find(items.begin(), items.end(), value) == items.end())
        std::cerr << "qomhost: note: \"" << valueUtf8 << "\" is not one of the values offered for \""
                  << keyUtf8 << "\" (" << out(*list) << ")\n";
    }
  }
  if (!item->setText(value.c_str())) {
    std::cerr << "qomhost: \"" << keyUtf8 << "\" does not take \"" << valueUtf8 << "\"\n";
    return kExitUsage;
  }
  if (!session.store().changesSaved()) {
    std::cerr << "qomhost: the new value of \"" << keyUtf8 << "\" was not saved to "
              << session.store().filePath() << "\n";
    return 1;
  }
  return 0;
}

std::string lowercase(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The options `qomhost disc` and `qomhost rip` share: the drive, JSON
// output, the wait, the database entry.
void addDiscOptions(CLI::App* command, DiscOptions& options, const char* jsonHelp,
                    const char* entryHelp) {
  command->add_option("--drive", options.drive, "Drive index or exact name (becomes \"Device\")");
  command->add_flag("--json", options.json, jsonHelp);
  command->add_option("--timeout", options.timeoutSeconds, "Seconds to wait for the drive and the lookup")
      ->check(CLI::Range(1, 3600));
  command->add_option("--entry", options.entry, entryHelp)->check(CLI::Range(0, 1000));
}

int listDrives(HostSession& session) {
  bool any = false;
  for (const auto& module : session.modules()) {
    auto list = session.host().feedList(lowercase(module->component->name()) + ":DEVICES");
    if (!list) continue;
    auto names = splitList(*list);
    for (std::size_t i = 0; i < names.size(); ++i) {
      std::cout << i << "\t" << out(names[i]) << "\n";
      any = true;
    }
  }
  if (!any) std::cerr << "qomhost: no drives\n";
  return 0;
}

}  // namespace

int runCommandLine(int argc, char** argv) {
  CLI::App app{"qomhost: the host for .qom components (CD ripping with Rondel).\n"
               "Runs the components without a window for the commands below."};
  app.set_help_all_flag("--help-all", "Show the help of every command");
  HostSession::Options options;
  app.add_option("--config-dir", options.configFolder,
                 "Folder of the configuration file (default: $XDG_CONFIG_HOME/qomhost)");
  app.require_subcommand(1);

  auto* config = app.add_subcommand("config", "Show or change configuration values");
  config->require_subcommand(1);
  config->add_subcommand("list", "Every item with its value, in order");
  std::string key, value;
  auto* get = config->add_subcommand("get", "Print one item's value");
  get->add_option("KEY", key, "Item name, e.g. \"Output Folder\"")->required();
  auto* set = config->add_subcommand("set", "Change one item's value");
  set->add_option("KEY", key, "Item name")->required();
  set->add_option("VALUE", value, "New value (0 or 1 for on/off items)")->required();
  auto* drives = app.add_subcommand("drives", "List the drives: index and name");
  DesktopOptions desktopOptions;
  std::string geometry;
  auto* desktop = app.add_subcommand("desktop", "Show the windows on the X display (FLTK)");
  desktop->add_option("--state-file", desktopOptions.stateFile,
                      "Write the windows' state as JSON here at exit and on SIGUSR1");
  desktop->add_option("--geometry", geometry, "Size of the component windows, WxH");
  DiscOptions discOptions;
  auto* disc = app.add_subcommand(
      "disc", "Wait for the drive to settle, then show the disc as the window lists it");
  addDiscOptions(disc, discOptions, "One JSON object instead of text",
                 "Apply database entry N (0 = first) instead of the lookup's choice");
  RipOptions ripOptions;
  auto* rip = app.add_subcommand(
      "rip", "Wait for the disc, copy all tracks (or --tracks) and show each track's progress");
  addDiscOptions(rip, ripOptions, "One JSON object at the end instead of text",
                 "Apply database entry N (0 = first) before copying");
  auto* ripAll = rip->add_flag("--all", ripOptions.all, "Copy All (the default)");
  rip->add_option("--tracks", ripOptions.tracks, "Copy Selected with these tracks, e.g. 1,3,5")
      ->excludes(ripAll);
  rip->add_option("--output", ripOptions.output,
                  "Folder for the files, when \"Use Output Folder\" is 0");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : kExitUsage;
  }

  if (desktop->parsed()) {
    if (!geometry.empty() && !parseGeometry(geometry, &desktopOptions.width, &desktopOptions.height)) {
      std::cerr << "qomhost: --geometry takes WxH, e.g. 800x500\n";
      return kExitUsage;
    }
    return runDesktop(options, desktopOptions);
  }
  HostSession session(options);
  if (drives->parsed()) return listDrives(session);
  if (disc->parsed()) return discCommand(session, discOptions);
  if (rip->parsed()) return ripCommand(session, ripOptions);
  if (config->got_subcommand("list")) return configList(session);
  if (get->parsed()) return configGet(session, key);
  if (set->parsed()) return configSet(session, key, value);
  return kExitUsage;
}

}  // namespace qomhost
