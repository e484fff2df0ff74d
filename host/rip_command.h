#pragma once
// `qomhost rip`: opens the component's window headless, waits for the disc
// as `qomhost disc` does, clicks "Copy All" (or selects the given tracks
// and clicks "Copy Selected"), answers the folder browser with --output,
// shows each track's progress from its status cell until the copy ends and
// reports every track's final status and file.
#include <string>

#include "host/host_session.h"

namespace qomhost {

struct RipOptions {
  std::string drive;   // name or index; "" keeps the configured drive
  bool all = false;    // the default when no --tracks is given
  std::string tracks;  // "1,3,5": track numbers as the disc numbers them
  std::string output;  // native folder for the folder browser
  bool json = false;
  int timeoutSeconds = 30;  // for the drive to settle
  int entry = -1;  // --entry N: the database entry to apply first (-1: the lookup's choice)
};

// Exit codes: 0 every job ended "Copied"; 1 a job ended otherwise, or the
// copy could not run; 2 a usage error; 130 cancelled by SIGINT/SIGTERM.
int ripCommand(HostSession& session, const RipOptions& options);

}  // namespace qomhost
