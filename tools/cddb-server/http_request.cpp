#include "tools/cddb-server/http_request.h"

#include <algorithm>

#include "platform/ascii.h"

namespace cddb_server {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool isHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
         c == '-';
}

// The Host header's host part: "name", "name:port", "[v6]" or "[v6]:port".
std::string_view hostPart(std::string_view value) {
  if (!value.empty() && value.front() == '[') {
    const std::size_t close = value.find(']');
    return close == std::string_view::npos ? value : value.substr(0, close + 1);
  }
  return value.substr(0, value.rfind(':'));
}

}  // namespace

bool isPlainHostName(std::string_view host) {
  if (host.empty() || host.size() > 255) return false;
  if (host.front() == '[') {
    if (host.size() < 4 || host.back() != ']') return false;
    const std::string_view inner = host.substr(1, host.size() - 2);
    return std::all_of(inner.begin(), inner.end(), [](char c) {
      return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') ||
             c == ':' || c == '.';
    });
  }
  return std::all_of(host.begin(), host.end(), isHostCharacter);
}

std::optional<HeadEnd> findHeadEnd(std::string_view bytes) {
  const std::size_t crlf = bytes.find("\r\n\r\n");
  const std::size_t lf = bytes.find("\n\n");
  if (lf != std::string_view::npos && (crlf == std::string_view::npos || lf < crlf))
    return HeadEnd{lf, lf + 2};
  if (crlf != std::string_view::npos) return HeadEnd{crlf, crlf + 4};
  return std::nullopt;
}

HttpRequest parseHead(std::string_view head) {
  HttpRequest request;
  std::size_t lineEnd = head.find('\n');
  const std::string_view line = trim(head.substr(0, lineEnd));
  // METHOD SP TARGET [SP HTTP/x.y]
  const std::size_t space1 = line.find(' ');
  if (space1 == std::string_view::npos) {
    request.bad = true;
    return request;
  }
  request.method = std::string(line.substr(0, space1));
  const std::string_view rest = line.substr(space1 + 1);
  const std::size_t space2 = rest.find(' ');
  request.target = std::string(rest.substr(0, space2));
  if (space2 != std::string_view::npos) {
    const std::string_view version = trim(rest.substr(space2 + 1));
    if (version.substr(0, 5) != "HTTP/") request.bad = true;
    request.http10 = version == "HTTP/1.0" || version == "HTTP/0.9";
  }
  if (request.method.empty() || request.target.empty()) request.bad = true;
  while (lineEnd != std::string_view::npos) {
    const std::size_t from = lineEnd + 1;
    lineEnd = head.find('\n', from);
    const std::string_view header = trim(
        head.substr(from, lineEnd == std::string_view::npos ? std::string_view::npos : lineEnd - from));
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
      const std::string_view host = hostPart(value);
      request.host = isPlainHostName(host) ? std::string(host) : std::string();
    }
  }
  return request;
}

}  // namespace cddb_server
