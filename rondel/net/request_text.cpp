#include "rondel/net/request_text.h"

#include "rondel/net/base64.h"

namespace rondel {

std::string buildGetRequest(std::string_view url, const UrlParts& parts, int minorVersion,
                            std::string_view proxyHost, std::string_view proxyCredentials) {
  // Always a single digit, also for a negative number.
  const int minor = (minorVersion % 10 + 10) % 10;
  std::string text = "GET ";
  if (!proxyHost.empty()) {
    if (url.find("://") == std::string_view::npos) text += "http://";
    text += url;
  } else {
    text += parts.path;
  }
  text += " HTTP/1.";
  text += static_cast<char>('0' + minor);
  text += "\r\nHost:";
  text += parts.host;
  text += "\r\n";
  if (!parts.credentials.empty())
    text += "Authorization: Basic " + base64Encode(parts.credentials) + "\r\n";
  if (!proxyCredentials.empty())
    text += "Proxy-Authorization: Basic " + base64Encode(proxyCredentials) + "\r\n";
  text += "\r\n";
  return text;
}

}  // namespace rondel
