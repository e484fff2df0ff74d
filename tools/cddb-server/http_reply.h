#pragma once
// Which HTTP reply a request gets: the CDDB script's answer, or what a
// fault mode (redirect, failing read) puts in its place. Pure; the socket
// work is the server's.
#include <string>
#include <string_view>

#include "tools/cddb-server/entry_store.h"
#include "tools/cddb-server/options.h"

namespace cddb_server {

struct HttpReply {
  int status = 200;
  std::string reason = "OK";
  std::string contentType;  // empty: no Content-Type header
  std::string location;     // empty: no Location header
  std::string body;
};

// `target` is the raw request target ("/~cddb/cddb.cgi?cmd=...").
HttpReply replyFor(std::string_view method, std::string_view target, const Options& options,
                   const EntryStore& store);

// Status line, headers (Content-Length, Connection: close) and body, for
// the fault modes that write the reply to the socket themselves.
std::string serializeReply(const HttpReply& reply);

// One log line for a request: method and target, control characters as
// "?", so a hostile target cannot forge more lines.
std::string logLine(std::string_view method, std::string_view target);

}  // namespace cddb_server
