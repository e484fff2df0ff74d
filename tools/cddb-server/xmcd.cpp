#include "tools/cddb-server/xmcd.h"

namespace cddb_server {
namespace {

constexpr std::size_t kMaxTracks = 99;
// Nine digits hold any real frame offset or length and keep `long` safe.
constexpr std::size_t kMaxDigits = 9;

bool startsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view trimSpaces(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A whole text of 1..9 decimal digits, or -1.
long parseNumber(std::string_view s) {
  if (s.empty() || s.size() > kMaxDigits) return -1;
  long value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::vector<std::string_view> splitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

EntrySummary summarizeEntry(std::string_view text) {
  EntrySummary summary;
  enum class Offsets { Before, Reading, Done, Broken } offsets = Offsets::Before;
  for (const std::string_view line : splitLines(text)) {
    if (startsWith(line, "#")) {
      const std::string_view body = trimSpaces(line.substr(1));
      if (offsets == Offsets::Reading) {
        const long value = parseNumber(body);
        if (value >= 0) {
          if (summary.offsets.size() == kMaxTracks) offsets = Offsets::Broken;
          else summary.offsets.push_back(value);
          continue;
        }
        offsets = Offsets::Done;
      }
      if (offsets == Offsets::Before && body == "Track frame offsets:") {
        offsets = Offsets::Reading;
      } else if (startsWith(body, "Disc length:")) {
        std::string_view rest = trimSpaces(body.substr(12));
        const std::size_t space = rest.find(' ');
        if (space != std::string_view::npos && trimSpaces(rest.substr(space)) == "seconds")
          summary.lengthSeconds = parseNumber(rest.substr(0, space));
        else
          summary.lengthSeconds = parseNumber(rest);
      }
      continue;
    }
    if (offsets == Offsets::Reading) offsets = Offsets::Done;
    if (startsWith(line, "DTITLE=")) summary.dtitle.append(line.substr(7));
  }
  if (offsets == Offsets::Broken) summary.offsets.clear();
  return summary;
}

}  // namespace cddb_server
