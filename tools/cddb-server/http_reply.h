#pragma once
// Which HTTP reply a request gets: the CDDB script's answer, or what a
// fault mode (redirect, failing read) puts in its place. Pure; the socket
// work is the server's.
#include <string>
#include <string_view>

#include "tools/cddb-server/cddb_commands.h"
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

// `target` is the raw request target ("/~cddb/cddb.cgi?cmd=...", or the
// absolute form "http://host:port/~cddb/cddb.cgi?..." a proxy-minded client
// sends). `server` tells the server's own address (sites, motd, stat).
HttpReply replyFor(std::string_view method, std::string_view target, const Options& options,
                   const EntryStore& store, const ServerInfo& server = {});

// Status line, headers and body. The status line carries the request's
// version ("HTTP/1.0" for a 1.0 request, else "HTTP/1.1"); `close` adds
// "Connection: close". Content-Length unless `withLength` is false (the
// --never-close fault: a body that only a close could end); no Keep-Alive
// header. With `headOnly` the body is left out (a HEAD request).
std::string serializeReply(const HttpReply& reply, bool http10 = false, bool close = true,
                           bool headOnly = false, bool withLength = true);

// One log line for a request: method and target, control characters as
// "?", so a hostile target cannot forge more lines.
std::string logLine(std::string_view method, std::string_view target);

}  // namespace cddb_server
