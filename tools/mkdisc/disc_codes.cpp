#include "tools/mkdisc/disc_codes.h"

#include <algorithm>
#include <sstream>

namespace mkdisc {
namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }
bool upper(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

bool isCatalog(std::string_view text) {
  return text.size() == 13 && std::all_of(text.begin(), text.end(), digit);
}

bool isIsrc(std::string_view text) {
  if (text.size() != 12) return false;
  for (std::size_t i = 0; i < 12; ++i) {
    const char c = text[i];
    const bool ok = i < 2 ? upper(c) : i < 5 ? (upper(c) || digit(c)) : digit(c);
    if (!ok) return false;
  }
  return true;
}

std::string withCodes(const std::string& cue, const Disc& disc) {
  std::istringstream in(cue);
  std::string out;
  std::size_t track = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("FILE ", 0) == 0 && !disc.catalog.empty()) out += "CATALOG " + disc.catalog + "\n";
    out += line + "\n";
    if (line.rfind("  TRACK ", 0) == 0) {
      if (track < disc.tracks.size() && !disc.tracks[track].isrc.empty())
        out += "    ISRC " + disc.tracks[track].isrc + "\n";
      ++track;
    }
  }
  return out;
}

}  // namespace mkdisc
