#pragma once
// `qomhost disc`: opens the component's window headless, waits until the
// drive has settled and prints what the window shows.
#include <string>

#include "host/headless_window.h"
#include "host/host_session.h"

namespace qomhost {

struct DiscOptions {
  std::string drive;  // name or index; "" keeps the configured drive
  bool json = false;
  int timeoutSeconds = 30;
  int entry = -1;  // --entry N: the database entry to apply (-1: the lookup's choice)
};

// Picks the drive named by `drive` (an index into the drive list or an
// exact name) by setting "Device". Answers its index, or -1 with a message
// on stderr when it names no drive.
int chooseDrive(HostSession& session, const std::string& drive);

// The name of the drive the window polls ("" when unknown), to print above
// its disc. Says on stderr when that is not the drive the caller chose
// (`chosen`, -1 for none) or "Device" names; false when it is not the
// chosen one.
bool driveInUse(HostSession& session, const ShownDisc& disc, int chosen, std::string& name);

int discCommand(HostSession& session, const DiscOptions& options);

}  // namespace qomhost
