#include "tools/cddb-server/connection_loop.h"

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdint>

#include "tools/cddb-server/http_request.h"

namespace cddb_server {
namespace {

// Tags in epoll's data for the loop's own descriptors; connections carry
// their descriptor, which is never negative.
constexpr std::int64_t kListenTag = -1;
constexpr std::int64_t kStopTag = -2;
constexpr std::int64_t kWakeTag = -3;
// After running out of descriptors with nothing to close, accepting rests
// this long instead of spinning on the listening socket.
constexpr auto kAcceptRest = std::chrono::milliseconds(100);

void watch(int epoll, int fd, std::int64_t tag, std::uint32_t events, int op = EPOLL_CTL_ADD) {
  epoll_event event{};
  event.events = events;
  event.data.u64 = static_cast<std::uint64_t>(tag);
  ::epoll_ctl(epoll, op, fd, &event);
}

}  // namespace

ConnectionLoop::ConnectionLoop(UniqueFd listener, const StopSignal& stop, LoopLimits limits,
                               Dispatch dispatch)
    : listener_(std::move(listener)),
      stop_(stop),
      limits_(limits),
      dispatch_(std::move(dispatch)),
      epoll_(::epoll_create1(EPOLL_CLOEXEC)),
      wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!valid()) return;
  watch(epoll_.get(), listener_.get(), kListenTag, EPOLLIN);
  watch(epoll_.get(), stop_.fd(), kStopTag, EPOLLIN);
  watch(epoll_.get(), wake_.get(), kWakeTag, EPOLLIN);
}

ConnectionLoop::~ConnectionLoop() = default;

void ConnectionLoop::run() {
  epoll_event events[256];
  while (!stop_.requested()) {
    const int n = ::epoll_wait(epoll_.get(), events, 256, msToNextDeadline());
    if (n < 0 && errno != EINTR) return;
    for (int i = 0; i < n && !stop_.requested(); ++i) {
      const auto tag = static_cast<std::int64_t>(events[i].data.u64);
      if (tag == kListenTag) {
        acceptAll();
      } else if (tag == kWakeTag) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t r = ::read(wake_.get(), &count, sizeof count);
        takeFinished();
      } else if (tag >= 0) {
        readFrom(static_cast<int>(tag));
      }
    }
    closeExpired();
    if (acceptPaused_ && Clock::now() >= acceptPausedUntil_) pauseAccepting(false);
  }
}

void ConnectionLoop::finished(std::unique_ptr<Connection> connection) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    --outstanding_;
    if (connection) returned_.push_back(std::move(connection));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t w = ::write(wake_.get(), &one, sizeof one);
}

void ConnectionLoop::acceptAll() {
  for (;;) {
    std::size_t atWorkers = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      atWorkers = outstanding_ + returned_.size();
    }
    const int fd = ::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      // Out of descriptors: close the waiting connection nearest its
      // deadline and try again, or rest a moment when none waits.
      if ((errno == EMFILE || errno == ENFILE) && makeRoom()) continue;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
        pauseAccepting(true);
      return;
    }
    UniqueFd socket(fd);
    if (waiting_.size() + atWorkers >= limits_.maxConnections && !makeRoom()) continue;  // closes it
    auto connection = std::make_unique<Connection>();
    connection->socket = std::move(socket);
    adopt(std::move(connection), false);
  }
}

void ConnectionLoop::adopt(std::unique_ptr<Connection> connection, bool kept) {
  // A kept connection may already hold its next head (pipelined requests).
  if (const auto end = findHeadEnd(connection->pending)) {
    std::string head = connection->pending.substr(0, end->headLength);
    connection->pending.erase(0, end->consumed);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++outstanding_;
    }
    dispatch_(std::move(connection), std::move(head));
    return;
  }
  const int fd = connection->socket.get();
  Waiting& waiting = waiting_[fd];
  waiting.connection = std::move(connection);
  waiting.idle = kept && waiting.connection->pending.empty();
  setDeadline(waiting, fd,
              Clock::now() + std::chrono::milliseconds(waiting.idle ? limits_.keepAliveMs
                                                                    : limits_.headTimeoutMs));
  watch(epoll_.get(), fd, fd, EPOLLIN | EPOLLRDHUP);
}

void ConnectionLoop::readFrom(int fd) {
  const auto found = waiting_.find(fd);
  if (found == waiting_.end()) return;
  Waiting& waiting = found->second;
  std::string& pending = waiting.connection->pending;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;  // the head goes on later
    if (n <= 0) {  // closed by the client, or broken
      closeWaiting(fd);
      return;
    }
    pending.append(buffer, static_cast<std::size_t>(n));
    if (waiting.idle) {
      // The next head has begun: from now on it has the head's deadline.
      waiting.idle = false;
      setDeadline(waiting, fd, Clock::now() + std::chrono::milliseconds(limits_.headTimeoutMs));
    }
    if (findHeadEnd(pending)) break;
    if (pending.size() > kMaxRequestHead) {
      closeWaiting(fd);
      return;
    }
  }
  // The head is complete: the connection leaves the wait for a worker.
  std::unique_ptr<Connection> connection = std::move(waiting.connection);
  deadlines_.erase({waiting.deadline, fd});
  waiting_.erase(found);
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, fd, nullptr);
  adopt(std::move(connection), false);
}

void ConnectionLoop::closeWaiting(int fd) {
  const auto found = waiting_.find(fd);
  if (found == waiting_.end()) return;
  deadlines_.erase({found->second.deadline, fd});
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, fd, nullptr);
  waiting_.erase(found);  // closes the socket
}

void ConnectionLoop::setDeadline(Waiting& waiting, int fd, Clock::time_point deadline) {
  deadlines_.erase({waiting.deadline, fd});
  waiting.deadline = deadline;
  deadlines_.insert({deadline, fd});
}

bool ConnectionLoop::makeRoom() {
  if (deadlines_.empty()) return false;
  closeWaiting(deadlines_.begin()->second);
  return true;
}

void ConnectionLoop::takeFinished() {
  std::vector<std::unique_ptr<Connection>> back;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    back.swap(returned_);
  }
  for (auto& connection : back) adopt(std::move(connection), true);
}

void ConnectionLoop::closeExpired() {
  const Clock::time_point now = Clock::now();
  while (!deadlines_.empty() && deadlines_.begin()->first <= now)
    closeWaiting(deadlines_.begin()->second);
}

int ConnectionLoop::msToNextDeadline() const {
  Clock::time_point next = Clock::time_point::max();
  if (!deadlines_.empty()) next = deadlines_.begin()->first;
  if (acceptPaused_ && acceptPausedUntil_ < next) next = acceptPausedUntil_;
  if (next == Clock::time_point::max()) return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count();
  return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, 60000));
}

void ConnectionLoop::pauseAccepting(bool paused) {
  if (paused == acceptPaused_) return;
  acceptPaused_ = paused;
  if (paused) acceptPausedUntil_ = Clock::now() + kAcceptRest;
  watch(epoll_.get(), listener_.get(), kListenTag, paused ? 0u : EPOLLIN, EPOLL_CTL_MOD);
}

}  // namespace cddb_server
