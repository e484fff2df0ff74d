#pragma once
// Splitting a URL text into host, port, path and credentials, as the HTTP
// client reads it: "[scheme://][user:pass@]host[:port][/path?query]".
#include <string>
#include <string_view>

namespace rondel {

struct UrlParts {
  std::string host;         // empty when the URL names none
  int port = 80;            // 1..65535, or 0 when the port text is unusable
  std::string path = "/";   // from the first "/" after the scheme, query included
  std::string credentials;  // "user:password" exactly as written, or empty
};

// Never fails: an unusable port (no digits, 0, negative, or beyond 16 bits)
// gives port 0, which the request rejects as "invalid URL".
UrlParts parseUrl(std::string_view url);

// The URL written the standard way ("http://host[:port]/path?query"), with
// the host and port this client takes from it: a server text such as
// "127.0.0.1:18883:80/~cddb/cddb.cgi" is fetched from port 18883, which
// other HTTP clients read differently or refuse. For showing to users;
// credentials are left out. A URL without a usable host or port comes back
// as it is.
std::string fetchableUrl(std::string_view url);

// The number at the start of `text` read the way the client reads numbers:
// white space skipped, an optional sign, then decimal digits up to the first
// other character; 0 without digits. Saturates instead of overflowing.
long long parseLeadingNumber(std::string_view text);

}  // namespace rondel
