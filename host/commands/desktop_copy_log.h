#pragma once
// The desktop's rip log: watches each shown component window with a track
// list for a copy (its cancel button enabled while one runs, the tracks'
// status properties moving, which also shows a copy that began and ended
// between two polls) and, once the copy has ended and the AccurateRip
// lookup is no longer pending, writes the copy's log beside its files, as
// `qomhost rip` does. The status properties outlive the rows, which go
// when "Eject" takes the disc out at the end. Polled from a timer on the
// window thread.
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "host/core/host_session.h"
#include "host/view/rip_report.h"
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
    bool active = false;      // a copy runs, or its statuses still move
    bool logPending = false;  // a copy ended; its log is not written yet
    Clock::time_point endedAt;
    std::map<std::uint32_t, std::string> titles;     // as the rows showed them
    std::map<std::uint32_t, std::string> lastStatus;  // each track's status property at the last poll
    std::vector<std::uint32_t> inCopy;               // tracks whose status moved in this copy
    DiscAccurateRip disc;                            // the disc's identity during the copy
    std::string checks;                              // the verdicts last seen
  };

  HostSession& session_;
  WindowHost& windows_;
  const std::chrono::milliseconds lookupWait_;
  std::map<std::string, Watch> watches_;  // by window GUID text
};

}  // namespace qomhost
