#pragma once
// The server's one event loop: it accepts connections and reads request
// heads from every one of them at once (non-blocking sockets, epoll), and
// hands only a complete head to a worker. A client that sends its head
// slowly, or not at all, costs a descriptor and a buffer here, never a
// worker: each head has one deadline for the whole of it, counted from the
// first moment it was waited for, which bytes trickling in do not restart.
// A connection kept open after a reply (HTTP/1.1) comes back here to wait
// for its next request.
//
// Threads: run() on one thread (the loop's); finished() from any thread.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/unique_fd.h"
#include "tools/cddb-server/stop_signal.h"

namespace cddb_server {

using platform::UniqueFd;

// One client connection, owned by the loop while it waits for a head and
// by one worker while that worker answers it.
struct Connection {
  UniqueFd socket;       // non-blocking
  std::string pending;   // bytes read after the last complete head
  int served = 0;        // requests answered on it so far
};

struct LoopLimits {
  int headTimeoutMs = 10000;  // for a whole request head
  int keepAliveMs = 5000;     // a kept connection waiting for its next request
  // Connections held at once (waiting here and at the workers). When a new
  // one would go beyond it, the waiting connection whose deadline comes
  // first (an idle kept one, or the slowest head) is closed to make room.
  std::size_t maxConnections = 1024;
};

class ConnectionLoop {
 public:
  // Called on the loop's thread with a connection and its complete head.
  using Dispatch = std::function<void(std::unique_ptr<Connection>, std::string head)>;

  ConnectionLoop(UniqueFd listener, const StopSignal& stop, LoopLimits limits, Dispatch dispatch);
  ~ConnectionLoop();
  ConnectionLoop(const ConnectionLoop&) = delete;
  ConnectionLoop& operator=(const ConnectionLoop&) = delete;

  bool valid() const { return epoll_.valid() && wake_.valid(); }
  // Serves until the stop is requested; every connection still waiting is
  // closed then. Loop thread.
  void run();
  // A worker is done with a dispatched connection: nothing (it was closed)
  // or the connection, to wait for its next request. Any thread.
  void finished(std::unique_ptr<Connection> connection);

 private:
  using Clock = std::chrono::steady_clock;
  struct Waiting {
    std::unique_ptr<Connection> connection;
    Clock::time_point deadline;
    bool idle = false;  // a kept connection before the first byte of its next head
  };

  void acceptAll();
  void adopt(std::unique_ptr<Connection> connection, bool kept);
  void readFrom(int fd);
  void closeWaiting(int fd);
  void setDeadline(Waiting& waiting, int fd, Clock::time_point deadline);
  bool makeRoom();
  void takeFinished();
  void closeExpired();
  int msToNextDeadline() const;
  void pauseAccepting(bool paused);

  const UniqueFd listener_;
  const StopSignal& stop_;
  const LoopLimits limits_;
  const Dispatch dispatch_;
  UniqueFd epoll_;
  UniqueFd wake_;  // eventfd: finished() rings it

  // Loop thread only.
  std::unordered_map<int, Waiting> waiting_;
  std::set<std::pair<Clock::time_point, int>> deadlines_;
  bool acceptPaused_ = false;
  Clock::time_point acceptPausedUntil_;

  std::mutex mutex_;  // guards outstanding_ and returned_ (loop and worker threads)
  std::size_t outstanding_ = 0;  // connections at the workers
  std::vector<std::unique_ptr<Connection>> returned_;
};

}  // namespace cddb_server
