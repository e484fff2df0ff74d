#include "tools/cddb-server/stop_signal.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace cddb_server {

StopSignal::StopSignal() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
    readFd_ = fds[0];
    writeFd_ = fds[1];
  }
}

StopSignal::~StopSignal() {
  if (readFd_ >= 0) ::close(readFd_);
  if (writeFd_ >= 0) ::close(writeFd_);
}

void StopSignal::request() {
  if (requested_.exchange(true)) return;
  const char byte = 1;
  // The byte is never read, so the read end stays readable for every waiter.
  [[maybe_unused]] const ssize_t n = ::write(writeFd_, &byte, 1);
}

bool StopSignal::waitFor(int ms) const {
  if (requested()) return true;
  pollfd p{readFd_, POLLIN, 0};
  ::poll(&p, 1, ms);
  return requested();
}

}  // namespace cddb_server
