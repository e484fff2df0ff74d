#pragma once
// A stop request that every wait in the server can see: a pipe whose read
// end becomes readable once, for good, when the stop is requested. Waits
// poll it alongside their socket, so no wait outlives a shutdown.
#include <atomic>

namespace cddb_server {

class StopSignal {
 public:
  StopSignal();
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  bool valid() const { return readFd_ >= 0; }
  // Any thread; idempotent.
  void request();
  bool requested() const { return requested_.load(); }
  // Waits up to `ms` milliseconds; answers true when a stop was requested.
  bool waitFor(int ms) const;
  // Read end to poll for POLLIN.
  int fd() const { return readFd_; }

 private:
  int readFd_ = -1;
  int writeFd_ = -1;
  std::atomic<bool> requested_{false};  // any thread
};

}  // namespace cddb_server
