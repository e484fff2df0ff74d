// A query reply from a hostile server: the code and the match lines; and
// the same bytes as a read reply, checked against each match it names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "rondel/metadata/query_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string reply(reinterpret_cast<const char*>(data), size);
  const int code = rondel::replyCode(reply);
  const auto matches = rondel::parseQueryMatches(reply);
  if (matches.size() > rondel::kMaxLookupMatches) __builtin_trap();
  if (!matches.empty() && code != 200 && code != 210 && code != 211) __builtin_trap();
  for (const rondel::LookupMatch& m : matches) {
    // Fields come from one line each: no line end inside, never longer than the reply.
    for (const std::string* field : {&m.category, &m.discId, &m.title})
      if (field->size() > reply.size() || field->find_first_of("\r\n") != std::string::npos)
        __builtin_trap();
    // A read reply is accepted only when it starts with its own 210 line.
    if (rondel::isEntryReply(reply, m.category, m.discId) &&
        (code != 210 || reply.compare(0, 4 + m.category.size(), "210 " + m.category) != 0))
      __builtin_trap();
  }
  (void)rondel::isEntryReply(reply, "rock", "07010002");
  return 0;
}
