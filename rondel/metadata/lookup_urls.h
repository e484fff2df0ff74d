#pragma once
// The texts of the two database requests: the query that names a disc by
// its identifier and layout, and the read of one candidate entry. The values
// (hello user and host, read category and disc id) are percent-encoded
// outside letters, digits and "-._~@"; "+" stays the separator between
// them, so an ordinary address goes out unchanged.
#include <string>

#include "sdk/cdr_api.h"

namespace rondel {

constexpr const char* kClientName = "tavlo3rondel";
constexpr const char* kClientVersion = "2";
constexpr int kProtocolLevel = 5;

// `value` with every byte outside A-Z, a-z, 0-9 and "-._~@" written as %XX
// (upper-case hex): a space, "+", "&" or a line end in a setting can no
// longer break the request line or the form.
std::string encodeUrlValue(const std::string& value);

// The greeting's user and host, from the "EMail" setting.
struct Hello {
  std::string user;
  std::string host;
};

// user = text before the first '@' (all of it without one); host = text
// after it (further '@' included), or "unknown" without one.
Hello makeHello(const std::string& email);

// "Freedb Server" + ":80/~cddb/cddb.cgi". A server text with its own port
// ("127.0.0.1:8880") keeps it: the client reads the number after the first
// ':' as the port.
std::string serverAddress(const std::string& freedbServer);

// "<server>?cmd=cddb+query+<id>+<count>+<offset>+...+<seconds>&hello=...&proto=5"
std::string buildQueryUrl(const std::string& server, const CdToc& toc, const Hello& hello);

// "<server>?cmd=cddb+read+<category>+<discid>&hello=...&proto=5"
std::string buildReadUrl(const std::string& server, const std::string& category,
                         const std::string& discId, const Hello& hello);

// The identifier as eight lower-case hexadecimal digits.
std::string discIdText(std::uint32_t discId);

}  // namespace rondel
