#pragma once
// The desktop's rip log: watches each shown component window with a track
// list for a copy (its cancel button enabled while one runs) and, once the
// copy has ended and the AccurateRip lookup is no longer pending, writes
// the copy's log beside its files, as `qomhost rip` does. Polled from a
// timer on the window thread.
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "host/core/host_session.h"
#include "host/view/window_host.h"

namespace qomhost {

class DesktopCopyLog {
 public:
  // `lookupWait`: how long after a copy ends a pending lookup is waited
  // for before the log is written with the verdicts as they are.
  DesktopCopyLog(HostSession& session, WindowHost& windows,
                 std::chrono::milliseconds lookupWait = std::chrono::seconds(60))
      : session_(session), windows_(windows), lookupWait_(lookupWait) {}

  // Answers whether any window's checks changed since the last call, so
  // the view shows the new verdicts.
  bool poll();

 private:
  using Clock = std::chrono::steady_clock;
  struct Watch {
    bool copying = false;
    bool logPending = false;
    Clock::time_point endedAt;
    std::map<std::uint32_t, std::string> startStatus;  // each row's status when the copy began
    std::map<std::uint32_t, bool> inCopy;              // rows whose status moved during the copy
    std::string checks;                                // the verdicts last seen
  };

  HostSession& session_;
  WindowHost& windows_;
  const std::chrono::milliseconds lookupWait_;
  std::map<std::string, Watch> watches_;  // by window GUID text
};

}  // namespace qomhost
