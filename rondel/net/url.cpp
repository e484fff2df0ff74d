#include "rondel/net/url.h"

#include <limits>

namespace rondel {

namespace {

bool isSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

}  // namespace

long long parseLeadingNumber(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && isSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Saturate well before overflow: every caller only asks whether the
  // number lies in a small range.
  constexpr long long kCap = std::numeric_limits<int>::max() + 1LL;
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > kCap) value = kCap;
  }
  return negative ? -value : value;
}

UrlParts parseUrl(std::string_view url) {
  UrlParts parts;
  const std::size_t scheme = url.find("://");
  if (scheme != std::string_view::npos) url.remove_prefix(scheme + 3);

  const std::size_t slash = url.find('/');
  if (slash != std::string_view::npos) {
    parts.path = std::string(url.substr(slash));
    url = url.substr(0, slash);
  }

  const std::size_t at = url.find('@');
  if (at != std::string_view::npos) {
    parts.credentials = std::string(url.substr(0, at));
    url.remove_prefix(at + 1);
  }

  const std::size_t colon = url.find(':');
  if (colon != std::string_view::npos) {
    const long long port = parseLeadingNumber(url.substr(colon + 1));
    // A port that does not fit 16 bits is unusable, not truncated into
    // some other port.
    parts.port = port >= 1 && port <= 65535 ? static_cast<int>(port) : 0;
    url = url.substr(0, colon);
  }
  parts.host = std::string(url);
  return parts;
}

std::string fetchableUrl(std::string_view url) {
  const UrlParts parts = parseUrl(url);
  if (parts.host.empty() || parts.port == 0) return std::string(url);
  std::string shown = "http://" + parts.host;
  if (parts.port != 80) shown += ":" + std::to_string(parts.port);
  return shown + parts.path;
}

}  // namespace rondel
