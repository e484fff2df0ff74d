#include "rondel/metadata/query_reply.h"

#include <optional>
#include <string_view>

#include "platform/ascii.h"

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

bool isEntryReply(const std::string& reply, const std::string& category,
                  const std::string& discId) {
  if (category.empty() || discId.empty()) return false;
  const std::string_view first = std::string_view(reply).substr(0, lineEnd(reply, 0));
  // "210 <category> <discid>" and then a space or the end of the line.
  const std::string head = "210 " + category + " ";
  if (first.substr(0, head.size()) != head) return false;
  const std::string_view id = first.substr(head.size(), discId.size());
  if (!platform::equalIgnoringAsciiCase(id, discId)) return false;
  if (first.size() > head.size() + discId.size() && first[head.size() + discId.size()] != ' ')
    return false;
  // The entry proper: "# xmcd" or a DTITLE line, each at a line start.
  for (std::size_t pos = lineEnd(reply, 0); pos < reply.size();) {
    pos = reply.find_first_not_of("\r\n", pos);
    if (pos == std::string::npos) break;
    const std::string_view line = std::string_view(reply).substr(pos, lineEnd(reply, pos) - pos);
    if (line.substr(0, 6) == "# xmcd" || line.substr(0, 7) == "DTITLE=") return true;
    pos += line.size();
  }
  return false;
}

}  // namespace rondel
