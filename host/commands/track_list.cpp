#include "host/commands/track_list.h"

#include <algorithm>

namespace qomhost {
namespace {

constexpr std::uint32_t kLastTrack = 99;

// 1..99 in at most two digits; 0 for anything else.
std::uint32_t trackNumber(const std::string& s) {
  if (s.empty() || s.size() > 2 || s.find_first_not_of("0123456789") != std::string::npos) return 0;
  const std::uint32_t n = static_cast<std::uint32_t>(std::stoul(s));
  return n <= kLastTrack ? n : 0;
}

}  // namespace

bool parseTrackList(const std::string& text, std::vector<std::uint32_t>& numbers, std::string& bad) {
  numbers.clear();
  bad.clear();
  if (text.empty()) return false;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = text.find(',', from);
    const std::string item = text.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
    const std::size_t dash = item.find('-');
    const std::uint32_t first = trackNumber(item.substr(0, dash));
    const std::uint32_t last = dash == std::string::npos ? first : trackNumber(item.substr(dash + 1));
    if (first == 0 || last < first) {
      bad = item;
      numbers.clear();
      return false;
    }
    for (std::uint32_t n = first; n <= last; ++n) numbers.push_back(n);
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  std::sort(numbers.begin(), numbers.end());
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return true;
}

}  // namespace qomhost
