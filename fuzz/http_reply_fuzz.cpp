// The HTTP client's reply path: status line, headers, redirects and body,
// read through run() from bytes fed into the connection's receive ring in
// pieces whose sizes the input chooses. No socket is made: redirect targets
// only open further fed connections, so nothing leaves the process.
//
// Input: one byte picks the receive buffer size, the rest is a list of
// chunks, each a length byte (0 = close the connection) followed by that
// many reply bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "rondel/net/http_get_request.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  // Rings are never below 4096 bytes; odd sizes move where they wrap.
  const int receiveSize = data[0] & 1 ? 4096 : 4096 + 7 * data[0];
  std::size_t at = 1;

  static rondel::NameResolver resolver(1);  // never asked: no name is resolved
  rondel::HttpGetRequest request(&resolver, receiveSize,
                                 data[0] & 2 ? "pu:pp@proxy:3128" : nullptr);
  int opened = 0;
  request.setOpener([&](rondel::NetConnection& c, const std::string& host, std::uint16_t port) {
    ++opened;
    c.attachWithoutSocket(host, port);
  });
  // Small caps some of the time, so the fuzzer reaches them.
  const std::size_t maxBytes = data[0] & 4 ? 2000 : rondel::HttpGetRequest::kNoLimit;
  const std::size_t maxHead = data[0] & 8 ? 300 : rondel::HttpGetRequest::kDefaultMaxHeadBytes;
  request.setReplyLimits(maxHead, maxBytes);
  request.connect("user:pw@server:80/~cddb/cddb.cgi?cmd=cddb+query", 0);

  std::string body;
  for (int steps = 0; steps < 100000; ++steps) {
    rondel::NetConnection* c = request.connection();
    if (c != nullptr && at < size) {
      const std::size_t length = data[at++];
      if (length == 0) {
        c->feedClose();
      } else {
        const std::size_t take = length < size - at ? length : size - at;
        const int fed = c->feedReceived(data + at, static_cast<int>(take));
        at += static_cast<std::size_t>(fed);
      }
    } else if (c != nullptr) {
      c->feedClose();
    }
    const int result = request.run();
    char buffer[512];
    for (int n; (n = request.getBytes(buffer, sizeof buffer)) > 0;) body.append(buffer, n);
    if (result != 0) break;
  }
  // The redirect cap holds whatever the replies say.
  if (opened > 1 + rondel::HttpGetRequest::kMaxRedirects) std::abort();
  if (request.getStatus() < -1 || request.getStatus() > 2) std::abort();
  if (request.getStatusLine().size() > 4095) std::abort();
  // No more bytes than the cap ever reach the caller (a chunked body is
  // smaller than its framing).
  if (maxBytes != rondel::HttpGetRequest::kNoLimit && body.size() > maxBytes) std::abort();
  return 0;
}
