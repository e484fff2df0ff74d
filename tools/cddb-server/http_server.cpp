#include "tools/cddb-server/http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/cddb-server/connection_loop.h"
#include "tools/cddb-server/http_reply.h"
#include "tools/cddb-server/http_request.h"
#include "platform/unique_fd.h"

namespace cddb_server {
namespace {

using Clock = std::chrono::steady_clock;

// An HTTP/1.1 connection serves at most this many requests.
constexpr int kMaxRequestsPerConnection = 100;
// A client gets this long to take a whole reply (for --slow: each byte),
// so one that never reads cannot hold a worker for good.
constexpr auto kSendTimeout = std::chrono::seconds(10);
// Descriptors kept back from the connection limit: the log, the stop pipe,
// the loop's own, and an entry file open on each worker.
constexpr std::size_t kReservedDescriptors = 64 + kWorkers;
// Connections held at once unless told otherwise: each may buffer up to a
// head's bound (16 KiB), so this keeps a flood's memory near 200 MiB.
constexpr std::size_t kDefaultMaxConnections = 10000;

// Polls `sock` for `events` and the stop signal, up to `ms` (-1: no
// bound); true when the socket is ready.
bool waitFor(int sock, short events, const StopSignal& stop, int ms) {
  pollfd fds[2] = {{sock, events, 0}, {stop.fd(), POLLIN, 0}};
  if (::poll(fds, 2, ms) <= 0) return false;
  return !stop.requested() && (fds[0].revents & (events | POLLHUP | POLLERR)) != 0;
}

// Sends all of it on the non-blocking socket before `deadline`.
bool sendAll(int sock, const char* data, std::size_t size, const StopSignal& stop,
             Clock::time_point deadline) {
  while (size > 0) {
    const ssize_t n = ::send(sock, data, size, MSG_NOSIGNAL);
    if (n > 0) {
      data += n;
      size -= static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return false;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || !waitFor(sock, POLLOUT, stop, static_cast<int>(left))) return false;
  }
  return true;
}

// "MM/DD/YY hh:mm:ss" of now, UTC (the motd's date).
std::string nowText() {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  gmtime_r(&now, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%m/%d/%y %H:%M:%S", &parts);
  return text;
}

// The port this socket was accepted on, for "sites".
int localPort(int sock) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

}  // namespace

// The workers and the queue of complete requests the loop fills.
struct HttpServer::Impl {
  struct Job {
    std::unique_ptr<Connection> connection;
    std::string head;
  };

  Impl(const ServerContext& context, UniqueFd listener, LoopLimits limits)
      : context(context),
        started(nowText()),
        loop(std::move(listener), context.stop, limits,
             [this](std::unique_ptr<Connection> c, std::string head) {
               push(Job{std::move(c), std::move(head)});
             }) {}

  // Loop thread.
  void push(Job job) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      jobs.push_back(std::move(job));
    }
    ready.notify_one();
  }

  // Worker threads.
  void work() {
    for (;;) {
      Job job;
      {
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [&] { return ending || !jobs.empty(); });
        if (ending) return;
        job = std::move(jobs.front());
        jobs.pop_front();
      }
      const bool keep = answer(*job.connection, job.head);
      loop.finished(keep ? std::move(job.connection) : nullptr);
    }
  }

  // Answers one request on a worker; true when the connection is kept for
  // the next one.
  bool answer(Connection& connection, const std::string& head) {
    const Options& options = context.options;
    const StopSignal& stop = context.stop;
    const int sock = connection.socket.get();
    const HttpRequest request = parseHead(head);
    context.log.write(logLine(request.method, request.target));
    if (options.delayMs > 0 && stop.waitFor(options.delayMs)) return false;
    if (options.closeBeforeReply) return false;

    HttpReply reply;
    if (request.bad) {
      reply.status = 400;
      reply.reason = "Bad Request";
      reply.contentType = "text/plain; charset=UTF-8";
      reply.body = "400 Bad Request\r\n";
    } else {
      ServerInfo info;
      info.host = request.host.empty() ? options.host : request.host;
      info.port = localPort(sock);
      info.started = started;
      info.maxUsers = kWorkers;
      reply = replyFor(request.method, request.target, options, context.store, info);
    }
    ++connection.served;
    // HTTP/1.0 (the component's, libcddb's) ends with the connection;
    // HTTP/1.1 keeps it unless asked, or a body or fault mode is involved.
    const bool close = request.http10 || request.wantsClose || request.hasBody || request.bad ||
                       options.rawSocketMode() || connection.served >= kMaxRequestsPerConnection ||
                       stop.requested();
    // --never-close sends no Content-Length: only a close could end its
    // body, and none comes, so a client must give up on its own.
    const std::string bytes = serializeReply(reply, request.http10, close,
                                             request.method == "HEAD", !options.neverClose);
    if (options.slow) {
      for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!sendAll(sock, bytes.data() + i, 1, stop, Clock::now() + kSendTimeout)) return false;
        if (i + 1 < bytes.size() && stop.waitFor(1000)) return false;
      }
    } else if (!sendAll(sock, bytes.data(), bytes.size(), stop, Clock::now() + kSendTimeout)) {
      return false;
    }
    if (!close) return true;
    if (!options.neverClose) {
      // Half-close first, so the peer sees the end of the reply at once.
      ::shutdown(sock, SHUT_WR);
      return false;
    }
    // Keep the connection open until the peer gives up or the server stops.
    char sink[1024];
    while (waitFor(sock, POLLIN, stop, -1)) {
      const ssize_t n = ::recv(sock, sink, sizeof sink, 0);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) break;
    }
    return false;
  }

  const ServerContext& context;
  const std::string started;
  ConnectionLoop loop;
  std::mutex mutex;  // guards jobs and ending (loop and worker threads)
  std::condition_variable ready;
  std::deque<Job> jobs;
  bool ending = false;
};

HttpServer::HttpServer(const ServerContext& context) : context_(context) {}

HttpServer::~HttpServer() {
  if (listenFd_ >= 0) ::close(listenFd_);
}

std::string HttpServer::listen(const std::string& host, int port) {
  UniqueFd sock(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!sock.valid()) return std::strerror(errno);
  // SO_REUSEADDR only (a restart need not wait for TIME_WAIT); never
  // SO_REUSEPORT, which would let a second server share a port in use.
  int yes = 1;
  ::setsockopt(sock.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1) return "not an IPv4 address";
  if (::bind(sock.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(sock.get(), SOMAXCONN) != 0)
    return errno == EADDRINUSE ? "the port is in use (another server listens on it)"
                               : std::strerror(errno);
  socklen_t length = sizeof address;
  if (::getsockname(sock.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0)
    return std::strerror(errno);
  port_ = ntohs(address.sin_port);
  if (listenFd_ >= 0) ::close(listenFd_);
  listenFd_ = sock.release();
  return {};
}

bool HttpServer::run() {
  if (listenFd_ < 0) return false;
  LoopLimits limits;
  limits.headTimeoutMs = context_.options.headTimeoutMs;
  const std::size_t descriptors = raiseDescriptorLimit();
  const std::size_t available =
      descriptors > kReservedDescriptors ? descriptors - kReservedDescriptors : 0;
  limits.maxConnections = context_.options.maxConnections > 0
                              ? context_.options.maxConnections
                              : std::clamp<std::size_t>(available, 16, kDefaultMaxConnections);
  Impl impl(context_, UniqueFd(std::exchange(listenFd_, -1)), limits);
  if (!impl.loop.valid()) return false;
  std::vector<std::thread> workers;
  for (int i = 0; i < kWorkers; ++i) workers.emplace_back([&impl] { impl.work(); });
  impl.loop.run();
  {
    std::lock_guard<std::mutex> lock(impl.mutex);
    impl.ending = true;
  }
  impl.ready.notify_all();
  for (std::thread& worker : workers) worker.join();
  return true;
}

std::size_t raiseDescriptorLimit() {
  rlimit limit{};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
  if (limit.rlim_cur < limit.rlim_max) {
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  // select() is never used, so descriptors above FD_SETSIZE are fine.
  return static_cast<std::size_t>(std::min<rlim_t>(limit.rlim_cur, 1u << 20));
}

}  // namespace cddb_server
