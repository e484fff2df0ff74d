#pragma once
// The HTTP side: cpp-httplib's server for ordinary replies, and for the
// fault modes that need the socket itself (close before the reply, one byte
// a second, never close) a server whose connections are handled here.
#include <memory>

#include "tools/cddb-server/entry_store.h"
#include "tools/cddb-server/options.h"
#include "tools/cddb-server/request_log.h"
#include "tools/cddb-server/stop_signal.h"

namespace httplib {
class Server;
}

namespace cddb_server {

// Everything a request handler needs; outlives the server. All members are
// safe to use from the server's worker threads (see each type).
struct ServerContext {
  const Options& options;
  const EntryStore& store;
  RequestLog& log;
  const StopSignal& stop;
};

std::unique_ptr<httplib::Server> makeServer(const ServerContext& context);

}  // namespace cddb_server
