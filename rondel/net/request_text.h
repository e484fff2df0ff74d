#pragma once
// The text of an HTTP GET request as the client sends it.
#include <string>
#include <string_view>

#include "rondel/net/url.h"

namespace rondel {

// `url` is the URL text as the caller passed it, `parts` its split form.
// With a proxy host the request line carries the whole URL: "http://" is
// put in front unless the text already names a scheme (redirect targets
// do). The minor version is taken modulo 10 (0..9). "Host:" has no space
// and no port; "Authorization"/"Proxy-Authorization" carry the base64 form
// of the credentials when there are any.
std::string buildGetRequest(std::string_view url, const UrlParts& parts, int minorVersion,
                            std::string_view proxyHost, std::string_view proxyCredentials);

}  // namespace rondel
