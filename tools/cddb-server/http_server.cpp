#include "tools/cddb-server/http_server.h"

#include <httplib.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "tools/cddb-server/http_reply.h"

namespace cddb_server {
namespace {

// Enough workers for a test's fault drills: a --never-close connection holds
// its worker until the peer closes or the server stops.
constexpr std::size_t kWorkers = 32;
constexpr std::size_t kMaxRequestHead = 16384;
constexpr int kHeadTimeoutMs = 10000;

bool sendAll(int sock, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::send(sock, data, size, MSG_NOSIGNAL);
    if (n <= 0) return false;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// Polls the socket and the stop signal; true when the socket is ready.
bool waitReadable(int sock, const StopSignal& stop, int ms) {
  pollfd fds[2] = {{sock, POLLIN, 0}, {stop.fd(), POLLIN, 0}};
  if (::poll(fds, 2, ms) <= 0) return false;
  return !stop.requested() && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0;
}

// The request head (up to the blank line), or "" on time-out, stop, early
// close or a head above the bound.
std::string readHead(int sock, const StopSignal& stop) {
  std::string head;
  char buffer[4096];
  while (head.find("\r\n\r\n") == std::string::npos && head.find("\n\n") == std::string::npos) {
    if (head.size() > kMaxRequestHead || !waitReadable(sock, stop, kHeadTimeoutMs)) return {};
    const ssize_t n = ::recv(sock, buffer, sizeof buffer, 0);
    if (n <= 0) return {};
    head.append(buffer, static_cast<std::size_t>(n));
  }
  return head;
}

// A server whose connections this code handles itself, for the faults that
// no well-behaved HTTP library would commit. httplib still listens, accepts
// and runs the workers.
class RawFaultServer : public httplib::Server {
 public:
  explicit RawFaultServer(const ServerContext& context) : context_(context) {}

 private:
  bool process_and_close_socket(socket_t sock) override {
    serve(sock);
    ::close(sock);
    return true;
  }

  void serve(int sock) {
    const cddb_server::Options& options = context_.options;
    const StopSignal& stop = context_.stop;
    const std::string head = readHead(sock, stop);
    if (head.empty()) return;
    // Request line: METHOD SP TARGET SP VERSION.
    const std::string line = head.substr(0, head.find_first_of("\r\n"));
    const std::size_t space1 = line.find(' ');
    const std::size_t space2 = space1 == std::string::npos ? space1 : line.find(' ', space1 + 1);
    const std::string method = line.substr(0, space1);
    const std::string target = space1 == std::string::npos
                                   ? std::string()
                                   : line.substr(space1 + 1, space2 - space1 - 1);
    context_.log.write(logLine(method, target));

    if (options.delayMs > 0 && stop.waitFor(options.delayMs)) return;
    if (options.closeBeforeReply) return;
    const std::string reply = serializeReply(replyFor(method, target, options, context_.store));
    if (options.slow) {
      for (std::size_t i = 0; i < reply.size(); ++i) {
        if (!sendAll(sock, reply.data() + i, 1)) return;
        if (i + 1 < reply.size() && stop.waitFor(1000)) return;
      }
    } else if (!sendAll(sock, reply.data(), reply.size())) {
      return;
    }
    if (!options.neverClose) {
      // Half-close first, so the peer sees the end of the reply at once.
      ::shutdown(sock, SHUT_WR);
      return;
    }
    // Keep the connection open until the peer gives up or the server stops.
    char sink[1024];
    while (waitReadable(sock, stop, -1))
      if (::recv(sock, sink, sizeof sink, 0) <= 0) return;
  }

  const ServerContext& context_;
};

}  // namespace

std::unique_ptr<httplib::Server> makeServer(const ServerContext& context) {
  std::unique_ptr<httplib::Server> server;
  if (context.options.rawSocketMode())
    server = std::make_unique<RawFaultServer>(context);
  else
    server = std::make_unique<httplib::Server>();
  server->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  // Short keep-alive, so an idle client does not hold up a shutdown long.
  server->set_keep_alive_timeout(1);
  // Every request is answered here, whatever its path or method, so the
  // routing (and the fault modes) live in one pure function.
  server->set_pre_routing_handler([&context](const httplib::Request& req, httplib::Response& res) {
    context.log.write(logLine(req.method, req.target));
    if (context.options.delayMs > 0) context.stop.waitFor(context.options.delayMs);
    HttpReply reply = replyFor(req.method, req.target, context.options, context.store);
    res.status = reply.status;
    if (!reply.location.empty()) res.set_header("Location", reply.location);
    res.set_content(reply.body, reply.contentType.c_str());
    // An HTTP/1.0 client (the component's) reads to the end of the
    // connection: say plainly that the server closes it.
    if (req.version == "HTTP/1.0" && req.get_header_value("Connection") != "Keep-Alive" &&
        req.get_header_value("Connection") != "keep-alive")
      res.set_header("Connection", "close");
    return httplib::Server::HandlerResponse::Handled;
  });
  return server;
}

}  // namespace cddb_server
