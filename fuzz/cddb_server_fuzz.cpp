// cddb-server's command handling on hostile input: the fuzz input is split
// at the first 0xFF byte (which no UTF-8 text holds) into a request target and
// an entry text; the entry is stored under several names so that both the
// read and the query paths (exact and inexact) go through it. The target is
// also read as a request head. Whatever the entry holds, a read reply ends
// with its one "." line and no line of a reply holds a control byte other
// than a tab: the fuzzer traps otherwise.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/cddb-server/cddb_commands.h"
#include "tools/cddb-server/entry_store.h"
#include "tools/cddb-server/http_reply.h"
#include "tools/cddb-server/http_request.h"
#include "tools/cddb-server/options.h"
#include "tools/cddb-server/xmcd.h"

namespace {

// Every line ends in CR LF, holds no other control byte than a tab, and a
// line "." (or any line starting with ".") comes only last.
void checkReplyLines(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) __builtin_trap();
    for (std::size_t i = start; i < end; ++i) {
      const auto c = static_cast<unsigned char>(text[i]);
      if ((c < 0x20 && c != '\t') || c == 0x7F) __builtin_trap();
    }
    if (start > 0 && end > start && text[start] == '.' && end + 2 != text.size()) __builtin_trap();
    start = end + 2;
  }
}

}  // namespace

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
  for (const char* proto : {"&proto=5", "&proto=6"}) {
    (void)cddb_server::handleCddbForm(target + proto, store, {});
    for (const char* cmd : {"cmd=cddb+read+rock+07010002", "cmd=cddb+query+07010002+2+150+17265+258"})
      checkReplyLines(cddb_server::handleCddbForm(std::string(cmd) + proto, store, {}).text);
  }
  const cddb_server::HttpRequest request = cddb_server::parseHead(target);
  if (!cddb_server::isPlainHostName(request.host) && !request.host.empty()) __builtin_trap();
  (void)cddb_server::findHeadEnd(target);
  (void)cddb_server::summarizeEntry(entry);
  return 0;
}
