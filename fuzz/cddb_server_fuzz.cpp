// cddb-server's command handling on hostile input: the fuzz input is split
// at the first 0xFF byte (which no UTF-8 text holds) into a request target and
// an entry text; the entry is stored under several names so that both the
// read and the query paths (exact and inexact) go through it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/cddb-server/cddb_commands.h"
#include "tools/cddb-server/entry_store.h"
#include "tools/cddb-server/http_reply.h"
#include "tools/cddb-server/options.h"
#include "tools/cddb-server/xmcd.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t split = input.find('\xFF');
  const std::string target = input.substr(0, split);
  const std::string entry = split == std::string::npos ? std::string() : input.substr(split + 1);

  cddb_server::MemoryStore store;
  store.add("rock", "07010002", entry);
  store.add("misc", "07010002", entry);
  store.add("jazz", "0a0b0c0d", entry);
  cddb_server::Options options;
  options.failReads.insert("misc/07010002");

  const cddb_server::HttpReply reply = cddb_server::replyFor("GET", target, options, store);
  (void)cddb_server::serializeReply(reply);
  (void)cddb_server::logLine("GET", target);
  // The form alone, as the script's query text, at both text levels.
  for (const char* proto : {"&proto=5", "&proto=6"})
    (void)cddb_server::handleCddbForm(target + proto, store, {});
  (void)cddb_server::summarizeEntry(entry);
  return 0;
}
