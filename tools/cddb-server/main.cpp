// cddb-server: serves a freedb-format folder over HTTP with the CDDB
// protocol. See README.md.
#include <httplib.h>
#include <arpa/inet.h>
#include <malloc.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <thread>

#include "tools/cddb-server/entry_store.h"
#include "tools/cddb-server/http_server.h"
#include "tools/cddb-server/options.h"
#include "tools/cddb-server/request_log.h"
#include "tools/cddb-server/stop_signal.h"

namespace {

using namespace cddb_server;

// Tells the signal thread that the server has ended on its own.
struct ServerState {
  std::mutex mutex;              // guards `finished`
  std::condition_variable changed;
  bool finished = false;         // set by the main thread when listening ended
};

// Why binding host:port fails, found by trying it again with a plain
// socket (the server's own attempt does not keep errno).
std::string bindFailure(const std::string& host, int port) {
  const int sock = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (sock < 0) return std::strerror(errno);
  int yes = 1;
  ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  ::inet_pton(AF_INET, host.c_str(), &address.sin_addr);
  std::string why = "cannot bind";
  if (::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    why = errno == EADDRINUSE ? "the port is in use (another server listens on it)"
                              : std::strerror(errno);
  } else if (::listen(sock, 1) != 0) {
    why = errno == EADDRINUSE ? "the port is in use (another server listens on it)"
                              : std::strerror(errno);
  }
  ::close(sock);
  return why;
}

int run(const Options& options) {
  // SIGTERM and SIGINT are taken by one thread with sigwait, so no handler
  // runs in the middle of the server's work; blocked before any thread
  // starts, so every thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  StopSignal stop;
  RequestLog log(options.logFile);
  if (!stop.valid() || !log.valid()) {
    std::cerr << "cddb-server: cannot open the log " << options.logFile << "\n";
    return 1;
  }
  FolderStore store(options.root);
  const ServerContext context{options, store, log, stop};
  std::unique_ptr<httplib::Server> server = makeServer(context);

  int port = options.port;
  if (port == 0)
    port = server->bind_to_any_port(options.host);
  else if (!server->bind_to_port(options.host, port))
    port = -1;
  if (port <= 0) {
    std::cerr << "cddb-server: cannot listen on " << options.host << ":" << options.port << ": "
              << bindFailure(options.host, options.port) << "\n";
    return 1;
  }
  // The socket listens from here on: connections wait in its backlog.
  std::printf("listening on %s:%d\n", options.host.c_str(), port);
  std::fflush(stdout);

  ServerState state;
  std::thread signalThread([&] {
    int received = 0;
    sigwait(&stopSignals, &received);
    stop.request();
    // stop() acts only on a running server, so wait until listening has
    // begun (or ended by itself) before asking.
    std::unique_lock<std::mutex> lock(state.mutex);
    while (!state.finished && !server->is_running())
      state.changed.wait_for(lock, std::chrono::milliseconds(10));
    if (!state.finished) server->stop();
  });

  const bool listened = server->listen_after_bind();
  {
    std::lock_guard<std::mutex> lock(state.mutex);
    state.finished = true;
  }
  state.changed.notify_all();
  const bool askedToStop = stop.requested();
  if (!askedToStop) ::kill(::getpid(), SIGTERM);  // ends the signal thread
  signalThread.join();
  return listened || askedToStop ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // 32 worker threads would each get a malloc arena of their own; two keep
  // the server's memory that of its requests, not of its thread count.
  ::mallopt(M_ARENA_MAX, 2);
  try {
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
      std::cout << kUsage;
      return 0;
    }
    if (!parsed.error.empty()) {
      std::cerr << "cddb-server: " << parsed.error << "\n" << kUsage;
      return 2;
    }
    return run(parsed.options);
  } catch (const std::exception& e) {
    std::cerr << "cddb-server: " << e.what() << "\n";
    return 1;
  }
}
