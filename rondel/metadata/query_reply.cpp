#include "rondel/metadata/query_reply.h"

#include <optional>

namespace rondel {
namespace {

// "category discid title" within one line (no CR or LF in it).
std::optional<LookupMatch> parseMatchLine(const std::string& line) {
  const std::size_t first = line.find(' ');
  if (first == std::string::npos) return std::nullopt;
  const std::size_t second = line.find(' ', first + 1);
  if (second == std::string::npos) return std::nullopt;
  return LookupMatch{line.substr(first + 1, second - first - 1), line.substr(0, first),
                     line.substr(second + 1)};
}

std::size_t lineEnd(const std::string& text, std::size_t from) {
  const std::size_t end = text.find_first_of("\r\n", from);
  return end == std::string::npos ? text.size() : end;
}

}  // namespace

int replyCode(const std::string& reply) {
  if (reply.size() < 3) return -1;
  int code = 0;
  for (int i = 0; i < 3; ++i) {
    const char c = reply[static_cast<std::size_t>(i)];
    if (c < '0' || c > '9') return -1;
    code = code * 10 + (c - '0');
  }
  return code;
}

std::vector<LookupMatch> parseQueryMatches(const std::string& reply) {
  std::vector<LookupMatch> matches;
  const int code = replyCode(reply);
  if (code == 200) {
    // "200 categ discid title" on the first line.
    const std::string line = reply.substr(0, lineEnd(reply, 0));
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) return matches;
    if (auto match = parseMatchLine(line.substr(space + 1))) matches.push_back(std::move(*match));
    return matches;
  }
  if (code != 210 && code != 211) return matches;
  // Skip the code's line, then one match per line until "." or the end.
  std::size_t pos = lineEnd(reply, 0);
  while (matches.size() < kMaxLookupMatches) {
    pos = reply.find_first_not_of("\r\n", pos);
    if (pos == std::string::npos || reply[pos] == '.') break;
    const std::size_t end = lineEnd(reply, pos);
    if (auto match = parseMatchLine(reply.substr(pos, end - pos))) matches.push_back(std::move(*match));
    pos = end;
  }
  return matches;
}

}  // namespace rondel
