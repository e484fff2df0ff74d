#pragma once
// `qomhost disc`: opens the component's window headless, waits until the
// drive has settled and prints what the window shows.
#include <string>

#include "host/host_session.h"

namespace qomhost {

struct DiscOptions {
  std::string drive;  // name or index; "" keeps the configured drive
  bool json = false;
  int timeoutSeconds = 30;
  int entry = -1;  // --entry N: the database entry to apply (-1: the lookup's choice)
};

// Picks the drive named by `drive` (an index into the drive list or an
// exact name) by setting "Device". Answers false, with a message on stderr,
// when it names no drive.
bool chooseDrive(HostSession& session, const std::string& drive);

int discCommand(HostSession& session, const DiscOptions& options);

}  // namespace qomhost
