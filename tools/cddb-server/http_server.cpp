#include "tools/cddb-server/http_server.h"

#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <ctime>
#include <string>

#include "platform/ascii.h"
#include "tools/cddb-server/http_reply.h"

namespace cddb_server {
namespace {

// Enough workers for a test's fault drills: a --never-close connection holds
// its worker until the peer closes or the server stops.
constexpr std::size_t kWorkers = 32;
constexpr std::size_t kMaxRequestHead = 16384;
constexpr int kHeadTimeoutMs = 10000;
// An HTTP/1.1 connection left idle this long is closed; it serves at most
// kMaxRequestsPerConnection requests.
constexpr int kKeepAliveMs = 5000;
constexpr int kMaxRequestsPerConnection = 100;

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

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

struct Request {
  std::string method;
  std::string target;
  bool http10 = true;        // HTTP/1.0 (or an older request line without a version)
  bool wantsClose = false;   // "Connection: close"
  bool hasBody = false;      // Content-Length above 0 or Transfer-Encoding: not read
  bool bad = false;          // the request line could not be read
  std::string host;          // the Host header without its port
};

// Reads one request head (up to the blank line) from `sock`, with what a
// previous read left in `pending`. False on time-out, stop, close or a head
// above the bound.
bool readHead(int sock, const StopSignal& stop, int timeoutMs, std::string& pending,
              std::string& head) {
  char buffer[4096];
  for (;;) {
    std::size_t end = pending.find("\r\n\r\n");
    std::size_t endLength = 4;
    const std::size_t lf = pending.find("\n\n");
    if (lf != std::string::npos && (end == std::string::npos || lf < end)) {
      end = lf;
      endLength = 2;
    }
    if (end != std::string::npos) {
      head = pending.substr(0, end);
      pending.erase(0, end + endLength);
      return true;
    }
    if (pending.size() > kMaxRequestHead || !waitReadable(sock, stop, timeoutMs)) return false;
    const ssize_t n = ::recv(sock, buffer, sizeof buffer, 0);
    if (n <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(n));
  }
}

Request parseHead(const std::string& head) {
  Request request;
  std::size_t lineEnd = head.find('\n');
  const std::string_view line = trim(std::string_view(head).substr(0, lineEnd));
  // METHOD SP TARGET [SP HTTP/x.y]
  const std::size_t space1 = line.find(' ');
  if (space1 == std::string_view::npos) {
    request.bad = true;
    return request;
  }
  request.method = std::string(line.substr(0, space1));
  std::string_view rest = line.substr(space1 + 1);
  const std::size_t space2 = rest.find(' ');
  request.target = std::string(rest.substr(0, space2));
  if (space2 != std::string_view::npos) {
    const std::string_view version = trim(rest.substr(space2 + 1));
    if (version.substr(0, 5) != "HTTP/") request.bad = true;
    request.http10 = version == "HTTP/1.0" || version == "HTTP/0.9";
  }
  if (request.method.empty() || request.target.empty()) request.bad = true;
  while (lineEnd != std::string::npos) {
    const std::size_t from = lineEnd + 1;
    lineEnd = head.find('\n', from);
    const std::string_view header =
        trim(std::string_view(head).substr(from, lineEnd == std::string::npos ? std::string::npos
                                                                             : lineEnd - from));
    const std::size_t colon = header.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string name = platform::asciiLowered(trim(header.substr(0, colon)));
    const std::string_view value = trim(header.substr(colon + 1));
    if (name == "connection") {
      if (platform::asciiLowered(value).find("close") != std::string::npos) request.wantsClose = true;
    } else if (name == "content-length") {
      if (value != "0") request.hasBody = true;
    } else if (name == "transfer-encoding") {
      request.hasBody = true;
    } else if (name == "host") {
      const std::size_t portColon = value.rfind(':');
      request.host = std::string(value.substr(0, portColon));
    }
  }
  return request;
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

// Every connection is handled here: httplib listens, accepts and runs the
// workers; the requests and replies are this code's, so that an HTTP/1.0
// request gets an HTTP/1.0 reply and the connection's end, the fault modes
// can break the protocol on purpose, and every wait watches the stop request.
class CddbHttpServer : public httplib::Server {
 public:
  explicit CddbHttpServer(const ServerContext& context) : context_(context), started_(nowText()) {}

 private:
  bool process_and_close_socket(socket_t sock) override {
    serve(sock);
    ::close(sock);
    return true;
  }

  // The port this socket was accepted on, for "sites".
  static int localPort(int sock) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
    return ntohs(address.sin_port);
  }

  void serve(int sock) {
    const cddb_server::Options& options = context_.options;
    const StopSignal& stop = context_.stop;
    std::string pending, head;
    for (int served = 0; served < kMaxRequestsPerConnection; ++served) {
      if (!readHead(sock, stop, served == 0 ? kHeadTimeoutMs : kKeepAliveMs, pending, head)) return;
      const Request request = parseHead(head);
      context_.log.write(logLine(request.method, request.target));
      if (options.delayMs > 0 && stop.waitFor(options.delayMs)) return;
      if (options.closeBeforeReply) return;

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
        info.started = started_;
        info.maxUsers = static_cast<int>(kWorkers);
        reply = replyFor(request.method, request.target, options, context_.store, info);
      }
      // HTTP/1.0 (the component's, libcddb's) ends with the connection;
      // HTTP/1.1 keeps it unless asked, or a body or fault mode is involved.
      const bool close = request.http10 || request.wantsClose || request.hasBody || request.bad ||
                         options.rawSocketMode() || served + 1 >= kMaxRequestsPerConnection ||
                         stop.requested();
      // --never-close sends no Content-Length: only a close could end its
      // body, and none comes, so a client must give up on its own.
      const std::string bytes = serializeReply(reply, request.http10, close,
                                               request.method == "HEAD", !options.neverClose);
      if (options.slow) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
          if (!sendAll(sock, bytes.data() + i, 1)) return;
          if (i + 1 < bytes.size() && stop.waitFor(1000)) return;
        }
      } else if (!sendAll(sock, bytes.data(), bytes.size())) {
        return;
      }
      if (!close) continue;
      if (!options.neverClose) {
        // Half-close first, so the peer sees the end of the reply at once.
        ::shutdown(sock, SHUT_WR);
        return;
      }
      // Keep the connection open until the peer gives up or the server stops.
      char sink[1024];
      while (waitReadable(sock, stop, -1))
        if (::recv(sock, sink, sizeof sink, 0) <= 0) return;
      return;
    }
  }

  const ServerContext& context_;
  const std::string started_;
};

}  // namespace

std::unique_ptr<httplib::Server> makeServer(const ServerContext& context) {
  std::unique_ptr<httplib::Server> server = std::make_unique<CddbHttpServer>(context);
  server->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
  // SO_REUSEADDR only (a restart need not wait for TIME_WAIT); never
  // SO_REUSEPORT, which would let a second server share a port in use.
  server->set_socket_options([](socket_t sock) {
    int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });
  return server;
}

}  // namespace cddb_server
