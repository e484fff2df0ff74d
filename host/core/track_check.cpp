#include "host/core/track_check.h"

#include <algorithm>
#include <sstream>

namespace qomhost {
namespace {

std::string hex8(const std::string& text) {
  if (text.size() != 8 || text.find_first_not_of("0123456789abcdef") != std::string::npos) return "";
  return text;
}

// A decimal count of at most 6 digits (a response holds one byte of
// confidence; a few hundred pressings at most).
bool count(const std::string& text, unsigned& value) {
  if (text.empty() || text.size() > 6 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  value = static_cast<unsigned>(std::stoul(text));
  return true;
}

}  // namespace

TrackCheck parseTrackCheck(const std::string& crc32, const std::string& v1, const std::string& v2,
                           const std::string& verdict) {
  TrackCheck check;
  check.crc32 = hex8(crc32);
  check.accurateRipV1 = hex8(v1);
  check.accurateRipV2 = hex8(v2);
  std::istringstream in(verdict);
  std::vector<std::string> words;
  for (std::string w; words.size() < 5 && in >> w;) words.push_back(w);
  unsigned confidence = 0, total = 0;
  if (words.size() == 4 && words[0] == "accurate" && (words[3] == "v1" || words[3] == "v2") &&
      count(words[1], confidence) && count(words[2], total) && confidence > 0 && confidence <= total) {
    check.status = "accurate";
    check.confidence = confidence;
    check.total = total;
    check.v2 = words[3] == "v2";
  } else if (words.size() == 3 && words[0] == "not_accurate" && count(words[1], confidence) &&
             count(words[2], total)) {
    check.status = "not_accurate";
    check.total = total;
  } else if (words.size() == 1 && words[0] == "not_found") {
    check.status = "not_found";
  }
  return check;
}

std::string verdictText(const TrackCheck& check) {
  if (check.status == "accurate")
    return "accurate (confidence " + std::to_string(check.confidence) + " of " +
           std::to_string(check.total) + (check.v2 ? ", v2)" : ", v1)");
  if (check.status == "not_accurate") return "not accurate";
  if (check.status == "not_found") return "not in the database";
  return "not checked";
}

std::string verdictSummary(const std::vector<TrackCheck>& checks) {
  const auto with = [&](const char* status) {
    return static_cast<std::size_t>(std::count_if(checks.begin(), checks.end(),
                                                  [&](const TrackCheck& c) { return c.status == status; }));
  };
  const std::size_t n = checks.size(), accurate = with("accurate"), wrong = with("not_accurate");
  const auto tracks = [](std::size_t k) { return std::to_string(k) + (k == 1 ? " track" : " tracks"); };
  if (n == 0) return "Not checked against AccurateRip";
  if (accurate == n) return n == 1 ? "The track is accurate" : "All " + tracks(n) + " accurate";
  if (accurate + wrong > 0) {
    std::string text = std::to_string(accurate) + " of " + tracks(n) + " accurate";
    if (wrong > 0) text += ", " + std::to_string(wrong) + " not accurate";
    if (const std::size_t other = n - accurate - wrong) text += ", " + std::to_string(other) + " not checked";
    return text;
  }
  if (with("not_found") > 0) return "Not in the AccurateRip database";
  return "Not checked against AccurateRip";
}

}  // namespace qomhost
