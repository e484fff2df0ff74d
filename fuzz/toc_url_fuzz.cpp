// A table of contents from a faulty drive library, and settings texts, on
// their way into the request URLs: the record's first 3308 bytes, then the
// e-mail and server texts separated by a NUL.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "rondel/metadata/disc_id.h"
#include "rondel/metadata/lookup_urls.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CdToc toc{};
  const std::size_t tocBytes = size < sizeof toc ? size : sizeof toc;
  std::memcpy(&toc, data, tocBytes);
  const std::string rest(reinterpret_cast<const char*>(data) + tocBytes, size - tocBytes);
  const std::size_t nul = rest.find('\0');
  const std::string email = rest.substr(0, nul);
  const std::string server = nul == std::string::npos ? std::string() : rest.substr(nul + 1);
  const rondel::Hello hello = rondel::makeHello(email);
  const std::string address = rondel::serverAddress(server);
  const std::string query = rondel::buildQueryUrl(address, toc, hello);
  const std::string id = rondel::discIdText(rondel::computeDiscId(toc));
  if (id.size() != 8 || query.find(id) == std::string::npos) __builtin_trap();
  (void)rondel::buildReadUrl(address, hello.user, id, hello);
  return 0;
}
