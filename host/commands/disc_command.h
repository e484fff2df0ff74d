#pragma once
// `qomhost disc`: opens the component's window headless, waits until the
// drive has settled and prints what the window shows.
#include "host/commands/command_options.h"
#include "host/core/host_session.h"

namespace qomhost {

using DiscOptions = DriveOptions;

int discCommand(HostSession& session, const DiscOptions& options);

}  // namespace qomhost
