#pragma once
// A request head as the server reads it: where it ends in the bytes read so
// far, and what the server takes from it. Pure, so the tests and the fuzzer
// reach it without sockets.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace cddb_server {

// A request head longer than this is not read: the connection is closed.
constexpr std::size_t kMaxRequestHead = 16384;

struct HttpRequest {
  std::string method;
  std::string target;
  bool http10 = true;       // HTTP/1.0 (or an older request line without a version)
  bool wantsClose = false;  // "Connection: close"
  bool hasBody = false;     // Content-Length above 0 or Transfer-Encoding: not read
  bool bad = false;         // the request line could not be read
  // The Host header without its port, only when it is a plain host name or
  // address ([A-Za-z0-9.-], or an IPv6 address in brackets, at most 255
  // characters); otherwise empty. It goes into the "sites" reply, so nothing
  // else from the header may reach it.
  std::string host;
};

struct HeadEnd {
  std::size_t headLength = 0;  // the head without the blank line
  std::size_t consumed = 0;    // the head with the blank line (CR LF CR LF or LF LF)
};

// Where the first head in `bytes` ends; nothing while it is incomplete.
std::optional<HeadEnd> findHeadEnd(std::string_view bytes);

HttpRequest parseHead(std::string_view head);

// Whether `host` may be named in a reply: see HttpRequest::host.
bool isPlainHostName(std::string_view host);

}  // namespace cddb_server
