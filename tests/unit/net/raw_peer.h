#pragma once
// A scripted TCP peer on 127.0.0.1 for the HTTP client's tests: it accepts
// connections one after another on its own thread, reads each request up to
// the empty line (bounded), records it, and hands the socket to the test's
// handler, which writes whatever reply the case needs. Ending the object
// wakes the thread and joins it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace net_test {

class RawPeer {
 public:
  // Called on the peer's thread with the accepted socket and the request.
  using Handler = std::function<void(RawPeer& peer, int fd, const std::string& request)>;

  explicit RawPeer(Handler handler) : handler_(std::move(handler)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (listen_ < 0 || ::pipe(wake_) != 0 ||
        ::bind(listen_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listen_, 8) != 0 ||
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&addr), &length) != 0)
      return;
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { serve(); });
  }
  ~RawPeer() {
    stopping_ = true;
    if (wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
    if (thread_.joinable()) thread_.join();
    for (int fd : {listen_, wake_[0], wake_[1]})
      if (fd >= 0) ::close(fd);
  }
  RawPeer(const RawPeer&) = delete;
  RawPeer& operator=(const RawPeer&) = delete;

  std::uint16_t port() const { return port_; }
  std::string base() const { return "127.0.0.1:" + std::to_string(port_); }

  std::vector<std::string> requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
  }

  // For handlers: true when `fd` became readable (or `what` happened) within
  // `bound`; false on the peer's end or when the bound passed.
  bool waitReadable(int fd, std::chrono::milliseconds bound) {
    pollfd p[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    return ::poll(p, 2, static_cast<int>(bound.count())) > 0 && (p[1].revents & POLLIN) == 0;
  }
  // For handlers: blocks until the peer ends or `bound` passes.
  void waitForEnd(std::chrono::milliseconds bound) {
    pollfd p{wake_[0], POLLIN, 0};
    (void)::poll(&p, 1, static_cast<int>(bound.count()));
  }
  static void sendAll(int fd, const std::string& text) {
    std::size_t sent = 0;
    while (sent < text.size()) {
      const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return;
      sent += static_cast<std::size_t>(n);
    }
  }

 private:
  void serve() {
    while (!stopping_) {
      pollfd p[2] = {{listen_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
      if (::poll(p, 2, -1) <= 0 || (p[1].revents & POLLIN) != 0) return;
      const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      const std::string request = readRequest(fd);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.push_back(request);
      }
      handler_(*this, fd, request);
      ::close(fd);
    }
  }
  // Up to the empty line that ends a request's headers, 5 s and 64 KiB at most.
  std::string readRequest(int fd) {
    std::string text;
    char buffer[4096];
    while (text.find("\r\n\r\n") == std::string::npos && text.size() < 65536 &&
           waitReadable(fd, std::chrono::seconds(5))) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
  }

  Handler handler_;
  int listen_ = -1;
  int wake_[2] = {-1, -1};
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;             // guards requests_ (peer thread writes, test reads)
  std::vector<std::string> requests_;
  std::thread thread_;                   // started last, joined by the destructor
};

// A handler that writes `reply` and closes.
inline RawPeer::Handler replyWith(std::string reply) {
  return [reply](RawPeer&, int fd, const std::string&) { RawPeer::sendAll(fd, reply); };
}

}  // namespace net_test
