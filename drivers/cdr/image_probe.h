#pragma once
// A first open of a disc image in a short-lived child process. libcdio's
// image parsers can corrupt memory on input our own checks (image_check.h)
// do not foresee; run first in a child, such a fault ends the child, not the
// host that loaded the library. The child only opens the image and answers
// with one byte; the parent waits a bounded time and ends a child that
// hangs by its process id. Each set of files is probed once per process: the
// answer is kept under the files' identity (device, inode, size,
// modification and change times), so a file replaced on disk is probed again.
#include <sys/stat.h>

#include <chrono>
#include <functional>
#include <string>

namespace cdr {

// How long a probe may take: CDR_PROBE_TIMEOUT_MS (100..600000) when set,
// else 10 s.
std::chrono::milliseconds probeTimeout();

// One file's identity as a cache key part.
std::string fileIdentity(const struct stat& st);

enum class ProbeAnswer {
  kOpens,    // attempt returned true in the child
  kRefused,  // it returned false: the parser itself said no
  kFault,    // the child died or hung; why says how
};

struct ProbeResult {
  ProbeAnswer answer = ProbeAnswer::kFault;
  std::string why;  // for kFault: "libcdio crashed on it (signal 11)", ...
};

// The answer for `key`, probing with `attempt` in a child when this
// process has not asked before. attempt runs in the forked child of a
// process that may have other threads: it must not take locks those
// threads may hold (cdioMutex() included; the fork itself happens under
// it, so libcdio's state is whole in the child). Any thread.
ProbeResult probeOnce(const std::string& key, const std::function<bool()>& attempt,
                      std::chrono::milliseconds timeout);

}  // namespace cdr
