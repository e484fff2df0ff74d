// HttpGetRequest::wait: sleeping until the request can make progress, so a
// caller that loops over run() never spins.
#include <poll.h>

#include <cerrno>

#include "rondel/net/http_get_request.h"

namespace rondel {

namespace {

int pollFor(int fd, short events, std::chrono::milliseconds limit) {
  const auto until = std::chrono::steady_clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    pollfd p{fd, events, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(std::max<long long>(left.count(), 0)));
    if (ready > 0) return 1;
    if (ready == 0) return 0;
    if (errno != EINTR) return 1;  // let run() meet the error
  }
}

}  // namespace

int HttpGetRequest::wait(std::chrono::milliseconds limit) {
  if (state_ == State::kFailed || !connection_) return -1;
  NetConnection& c = *connection_;
  switch (c.getState()) {
    case NetConnection::State::kError:
    case NetConnection::State::kClosed:
    case NetConnection::State::kIdle:
      return 1;  // run() answers at once
    case NetConnection::State::kResolving:
      if (c.addressKnown() || c.resolver() == nullptr) return 1;
      return c.resolver()->waitForName(c.hostName(), limit) ? 1 : 0;
    case NetConnection::State::kConnecting:
      return pollFor(c.socketHandle(), POLLOUT, limit);
    case NetConnection::State::kConnected:
      break;
  }
  // Body bytes the caller has not taken yet, or a full ring that only the
  // caller can empty: nothing to wait for.
  if (bytesAvailable() > 0 || c.bytesAvailable() >= c.receiveSize()) return 1;
  short events = POLLIN;
  if (c.sendCount() > 0) events |= POLLOUT;
  return pollFor(c.socketHandle(), events, limit);
}

}  // namespace rondel
