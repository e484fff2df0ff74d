#pragma once
// `qomhost offset find`: measures the drive's read offset with a disc that
// is in the AccurateRip database. The component's window reads the disc
// and fetches its database file (as for any disc with "Use Freedb" on);
// then the window closes and the host reads the tracks through cdr.dll
// itself at candidate offsets (offset_search.h). --save stores the result
// in the offsets file under the drive's "VENDOR MODEL", where cdr.dll
// finds it for every later rip. Window thread = the command's thread.
#include <string>

#include "host/commands/command_options.h"
#include "host/core/host_session.h"

namespace qomhost {

struct OffsetOptions {
  std::string drive;  // name or index; "" keeps the configured drive
  bool save = false;
  int timeoutSeconds = 30;  // for the drive and the lookup
};

// Samples searched either way of the drive's current correction.
constexpr int kOffsetSearchRange = 3000;

// Exit codes: 0 found (and saved with --save); 1 not found, not in the
// database, lookup off or failed, drive unreadable; 2 usage.
int offsetFind(HostSession& session, const OffsetOptions& options);

}  // namespace qomhost
