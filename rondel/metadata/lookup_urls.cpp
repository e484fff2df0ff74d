#include "rondel/metadata/lookup_urls.h"

#include <cstdio>

#include "rondel/metadata/disc_id.h"

namespace rondel {
namespace {

std::string helloTail(const Hello& hello) {
  return "&hello=" + encodeUrlValue(hello.user) + "+" + encodeUrlValue(hello.host) + "+" +
         kClientName + "+" + kClientVersion + "&proto=" + std::to_string(kProtocolLevel);
}

}  // namespace

std::string encodeUrlValue(const std::string& value) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(value.size());
  for (const char ch : value) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '@';
    if (plain) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

Hello makeHello(const std::string& email) {
  const std::size_t at = email.find('@');
  if (at == std::string::npos) return {email, "unknown"};
  return {email.substr(0, at), email.substr(at + 1)};
}

std::string serverAddress(const std::string& freedbServer) {
  return freedbServer + ":80/~cddb/cddb.cgi";
}

std::string discIdText(std::uint32_t discId) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(discId));
  return text;
}

std::string buildQueryUrl(const std::string& server, const CdToc& toc, const Hello& hello) {
  const TocTrackRange tracks = tocTracks(toc);
  std::string url = server + "?cmd=cddb+query+" + discIdText(computeDiscId(toc)) + "+" +
                    std::to_string(tracks.count()) + "+";
  // Frame offsets count the 150-sector lead-in. Printed unsigned, so a
  // faulty drive library's huge value never shows as a negative number.
  for (std::uint32_t t = tracks.first; t <= tracks.last; ++t) {
    const std::uint32_t sector = toc.entries[t].startSector;
    url += std::to_string(sector + 150) + "+";
  }
  const std::uint32_t leadOut = toc.entries[0].startSector;
  url += std::to_string(leadOut / 75 + 2) + helloTail(hello);
  return url;
}

std::string buildReadUrl(const std::string& server, const std::string& category,
                         const std::string& discId, const Hello& hello) {
  return server + "?cmd=cddb+read+" + encodeUrlValue(category) + "+" + encodeUrlValue(discId) +
         helloTail(hello);
}

}  // namespace rondel
