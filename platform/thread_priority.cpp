#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace platform {

void raiseCurrentThreadPriority() {
  // On Linux, PRIO_PROCESS with a thread id addresses that one thread.
  const auto tid = static_cast<id_t>(::syscall(SYS_gettid));
  if (::setpriority(PRIO_PROCESS, tid, -20) == 0) return;
  errno = 0;
  const int current = ::getpriority(PRIO_PROCESS, tid);
  if (errno != 0) return;
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NICE, &limit) != 0) return;
  // RLIMIT_NICE n allows nice values down to 20 - n.
  const rlim_t ceiling = limit.rlim_cur == RLIM_INFINITY ? 40 : limit.rlim_cur;
  const int lowest = 20 - static_cast<int>(ceiling > 40 ? 40 : ceiling);
  if (lowest < current) (void)::setpriority(PRIO_PROCESS, tid, lowest);
}

}  // namespace platform
