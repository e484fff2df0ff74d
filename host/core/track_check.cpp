#include "host/core/track_check.h"

#include <algorithm>

#include "sdk/verify/accuraterip.h"

namespace qomhost {
namespace {

std::string hex8(const std::string& text) {
  if (text.size() != 8 || text.find_first_not_of("0123456789abcdef") != std::string::npos) return "";
  return text;
}

}  // namespace

TrackCheck parseTrackCheck(const std::string& crc32, const std::string& v1, const std::string& v2,
                           const std::string& verdict) {
  TrackCheck check;
  check.crc32 = hex8(crc32);
  check.accurateRipV1 = hex8(v1);
  check.accurateRipV2 = hex8(v2);
  // The component's own format, read with its own reader.
  verify::Verdict parsed;
  if (!verify::parseVerdictText(verdict, parsed)) return check;
  check.status = verify::statusName(parsed.status);
  check.confidence = parsed.confidence;
  check.total = parsed.total;
  check.v2 = parsed.v2;
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
