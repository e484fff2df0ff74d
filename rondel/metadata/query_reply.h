#pragma once
// The database's answer to a query: a three-digit code, then the candidate
// entries (one on the code's line for 200, one per line after it for 210 and
// 211, up to a line that starts with ".").
#include <cstddef>
#include <string>
#include <vector>

namespace rondel {

// One candidate named by a query reply, texts as received.
struct LookupMatch {
  std::string discId;
  std::string category;
  std::string title;
};

// At most this many matches are taken from one reply: each costs a request,
// and a hostile list of thousands would keep the lookup busy for hours.
constexpr std::size_t kMaxLookupMatches = 32;

// The code of a reply, or -1 when the reply is shorter than three characters
// or does not start with three digits.
int replyCode(const std::string& reply);

// The matches of a 200, 210 or 211 reply in reply order (empty for any other
// code). A line without the two spaces that separate category, identifier
// and title is skipped; nothing is read past its own line.
std::vector<LookupMatch> parseQueryMatches(const std::string& reply);

// Whether a read reply is the entry that was asked for: its first line is
// "210 <category> <discid>" (then a space or the line's end) for exactly
// that category and disc id (the id compared without regard to letter
// case), and the entry has the "# xmcd" header or at least a DTITLE line
// (each at the start of a line). Anything else (a 401, an error page, a
// reply for another entry, "210 x" and noise) is no entry: applied, it
// would blank every title.
bool isEntryReply(const std::string& reply, const std::string& category,
                  const std::string& discId);

}  // namespace rondel
