#pragma once
// The HTTP side: a listening socket, the event loop that reads every
// request head (connection_loop.h), and the workers that answer complete
// requests, fault modes included (close before the reply, one byte a
// second, never close).
#include <memory>
#include <string>

#include "tools/cddb-server/entry_store.h"
#include "tools/cddb-server/options.h"
#include "tools/cddb-server/request_log.h"
#include "tools/cddb-server/stop_signal.h"

namespace cddb_server {

// Everything a request handler needs; outlives the server. All members are
// safe to use from the server's worker threads (see each type).
struct ServerContext {
  const Options& options;
  const EntryStore& store;
  RequestLog& log;
  const StopSignal& stop;
};

// Threads it answers requests on.
constexpr int kWorkers = 32;

class HttpServer {
 public:
  explicit HttpServer(const ServerContext& context);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds host:port (port 0: a free one) and listens; "" when it does,
  // otherwise why not ("the port is in use (another server listens on it)",
  // or the system's reason).
  std::string listen(const std::string& host, int port);
  // The port listened on.
  int port() const { return port_; }
  // Serves until the stop is requested; false when the loop could not be
  // set up. Returns once every worker has ended. Caller's thread.
  bool run();

 private:
  struct Impl;
  const ServerContext& context_;
  int listenFd_ = -1;  // owned until run() hands it to the loop
  int port_ = 0;
};

// The soft limit of open descriptors raised to the hard one (500 slow
// clients need 500 sockets); the soft limit in force afterwards.
std::size_t raiseDescriptorLimit();

}  // namespace cddb_server
