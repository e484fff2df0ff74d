#include "host/commands/cli.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>

#include "host/commands/command_options.h"
#include "host/commands/config_command.h"
#include "host/commands/desktop_command.h"
#include "host/commands/disc_command.h"
#include "host/commands/drives_command.h"
#include "host/commands/offset_command.h"
#include "host/commands/rip_command.h"
#include "host/core/host_session.h"

namespace qomhost {
namespace {

// The first word that is no option nor the value of --config-dir names a
// command; when no command takes that name, says so with the list of
// commands and answers true.
bool unknownCommand(CLI::App& app, int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--config-dir") {
      ++i;
      continue;
    }
    if (word.empty() || word[0] == '-') continue;
    const std::vector<CLI::App*> commands = app.get_subcommands({});
    for (const CLI::App* command : commands)
      if (command->get_name() == word) return false;
    std::cerr << "qomhost: unknown command \"" << outNative(word) << "\"; the commands are:\n";
    std::size_t width = 0;
    for (const CLI::App* command : commands) width = std::max(width, command->get_name().size());
    for (const CLI::App* command : commands)
      std::cerr << "  " << command->get_name() << std::string(width - command->get_name().size() + 2, ' ')
                << command->get_description() << "\n";
    std::cerr << "See qomhost --help.\n";
    return true;
  }
  return false;
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
  addDriveOptions(disc, discOptions, "One JSON object instead of text",
                  "Apply database entry N (0 = first) instead of the lookup's choice");
  RipOptions ripOptions;
  auto* rip = app.add_subcommand(
      "rip", "Wait for the disc, copy all tracks (or --tracks) and show each track's progress");
  addDriveOptions(rip, ripOptions, "One JSON object at the end instead of text",
                  "Apply database entry N (0 = first) before copying");
  auto* ripAll = rip->add_flag("--all", ripOptions.all, "Copy All (the default)");
  auto* ripTracks =
      rip->add_option("--tracks", ripOptions.tracks, "Copy Selected with these tracks, e.g. 1-3,5")
          ->excludes(ripAll);
  rip->add_option("--output", ripOptions.output,
                  "Folder for the files, when \"Use Output Folder\" is 0");

  OffsetOptions offsetOptions;
  auto* offset = app.add_subcommand("offset", "The drive's read offset");
  offset->require_subcommand(1);
  auto* offsetFindCommand = offset->add_subcommand(
      "find", "Find the drive's read offset with a disc that is in the AccurateRip database");
  offsetFindCommand->add_option("--drive", offsetOptions.drive, "Drive index or exact name (becomes \"Device\")");
  offsetFindCommand->add_flag("--save", offsetOptions.save,
                              "Store it in the offsets file, for every later rip from this drive model");
  offsetFindCommand->add_option("--timeout", offsetOptions.timeoutSeconds,
                                "Seconds to wait for the drive and the lookup")
      ->check(CLI::Range(1, 3600));

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (unknownCommand(app, argc, argv)) return kExitUsage;
    int code = app.exit(e);
    return code == 0 ? 0 : kExitUsage;
  }
  ripOptions.tracksGiven = ripTracks->count() > 0;

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
  if (offsetFindCommand->parsed()) return offsetFind(session, offsetOptions);
  if (config->got_subcommand("list")) return configList(session);
  if (get->parsed()) return configGet(session, key);
  if (set->parsed()) return configSet(session, key, value);
  return kExitUsage;
}

}  // namespace qomhost
