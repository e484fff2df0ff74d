// URL splitting and the request text built from it: any text gives parts
// within bounds, and a request is one request line, "Host:", and an empty
// line at the end.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rondel/net/base64.h"
#include "rondel/net/request_text.h"
#include "rondel/net/url.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const rondel::UrlParts parts = rondel::parseUrl(text);
  if (parts.port < 0 || parts.port > 65535) std::abort();
  if (parts.path.empty() || parts.path[0] != '/') std::abort();
  if (parts.host.find('/') != std::string::npos || parts.host.find(':') != std::string::npos)
    std::abort();
  if (parts.host.size() + parts.path.size() + parts.credentials.size() > size + 1) std::abort();

  const std::string request =
      rondel::buildGetRequest(text, parts, static_cast<int>(size) - 5, "proxy", parts.credentials);
  if (request.compare(0, 4, "GET ") != 0 || request.size() < 4 ||
      request.compare(request.size() - 4, 4, "\r\n\r\n") != 0)
    std::abort();
  if (rondel::base64Encode(parts.credentials).size() != (parts.credentials.size() + 2) / 3 * 4)
    std::abort();
  return 0;
}
