#pragma once
// `qomhost rip`: opens the component's window headless, waits for the disc
// as `qomhost disc` does, clicks the copy-all button (or selects the given
// tracks and clicks copy-selected), answers the folder browser with --output,
// shows each track's progress from its status cell until the copy ends and
// reports every track's final status and file.
#include <string>

#include "host/commands/command_options.h"
#include "host/core/host_session.h"

namespace qomhost {

// The drive, --json, --timeout and --entry work as for `qomhost disc`.
struct RipOptions : DriveOptions {
  bool all = false;    // the default when no --tracks is given
  std::string tracks;  // "1-3,5": track numbers as the disc numbers them, and ranges
  bool tracksGiven = false;  // --tracks was given (an empty list is refused)
  std::string output;  // native folder for the folder browser
};

// Exit codes: 0 every job ended copied; 1 a job ended otherwise, or the
// copy could not run; 2 a usage error; 130 cancelled by SIGINT/SIGTERM.
int ripCommand(HostSession& session, const RipOptions& options);

}  // namespace qomhost
