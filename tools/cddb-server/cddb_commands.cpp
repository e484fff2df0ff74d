#include "tools/cddb-server/cddb_commands.h"

#include <cstdlib>
#include <vector>

#include "platform/codepage.h"
#include "tools/cddb-server/xmcd.h"

namespace cddb_server {
namespace {

constexpr int kMaxLevel = 6;
constexpr long kMaxTracks = 99;
constexpr long kFramesPerSecond = 75;

const char kSyntaxError[] = "500 Command syntax error\r\n";
const char kIllegalLevel[] = "501 Illegal protocol level.\r\n";

struct Match {
  std::string category;
  std::string discId;
  std::string title;  // in the reply's character set
};

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string decodeComponent(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() && hexValue(s[i + 1]) >= 0 && hexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(s[i + 1]) * 16 + hexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::vector<std::string> splitWords(std::string_view text) {
  std::vector<std::string> words;
  std::size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    std::size_t end = pos;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
    if (end > pos) words.emplace_back(text.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// 1..9 decimal digits, or -1.
long parseNumber(const std::string& s) {
  if (s.empty() || s.size() > 9) return -1;
  long value = 0;
  for (const char c : s) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

// Stored text in the reply's character set. A stored entry that is valid
// UTF-8 is taken as UTF-8, anything else as Windows-1252 (old entries were
// written in Latin-1 or the Windows code page).
std::string forReply(std::string_view stored, bool storedUtf8, bool replyUtf8) {
  if (storedUtf8 == replyUtf8) return std::string(stored);
  return replyUtf8 ? platform::cp1252ToUtf8(stored) : platform::utf8ToCp1252(stored);
}

std::string matchTitle(const std::string& entry, bool replyUtf8) {
  return forReply(summarizeEntry(entry).dtitle, platform::isUtf8(entry), replyUtf8);
}

std::string matchList(const char* head, const std::vector<Match>& matches) {
  std::string text = head;
  for (const Match& m : matches) text += m.category + " " + m.discId + " " + m.title + "\r\n";
  text += ".\r\n";
  return text;
}

bool isInexactMatch(const EntrySummary& entry, const std::vector<long>& offsets, long seconds,
                    long fuzzySeconds) {
  if (entry.offsets.size() != offsets.size() || entry.lengthSeconds < 0) return false;
  if (std::labs(entry.lengthSeconds - seconds) > fuzzySeconds) return false;
  for (std::size_t i = 0; i < offsets.size(); ++i)
    if (std::labs(entry.offsets[i] - offsets[i]) > fuzzySeconds * kFramesPerSecond) return false;
  return true;
}

// cddb query <discid> <ntracks> <offset>... <seconds>
std::string query(const std::vector<std::string>& words, const EntryStore& store,
                  const MatchOptions& options, bool utf8) {
  if (words.size() < 5 || !isValidDiscId(words[2])) return kSyntaxError;
  const std::string discId = lower(words[2]);
  const long tracks = parseNumber(words[3]);
  if (tracks < 1 || tracks > kMaxTracks || words.size() != static_cast<std::size_t>(tracks) + 5)
    return kSyntaxError;
  std::vector<long> offsets;
  for (long i = 0; i < tracks; ++i) {
    offsets.push_back(parseNumber(words[4 + static_cast<std::size_t>(i)]));
    if (offsets.back() < 0) return kSyntaxError;
  }
  const long seconds = parseNumber(words.back());
  if (seconds < 0) return kSyntaxError;

  std::vector<Match> exact;
  for (const std::string& category : store.categories())
    if (const auto entry = store.load(category, discId))
      exact.push_back({category, discId, matchTitle(*entry, utf8)});
  if (exact.size() == 1)
    return "200 " + exact[0].category + " " + exact[0].discId + " " + exact[0].title + "\r\n";
  if (exact.size() > 1)
    return matchList("210 Found exact matches, list follows (until terminating `.')\r\n", exact);

  std::vector<Match> inexact;
  if (options.fuzzySeconds > 0) {
    for (const std::string& category : store.categories())
      for (const std::string& id : store.discIds(category)) {
        const auto entry = store.load(category, id);
        if (entry && isInexactMatch(summarizeEntry(*entry), offsets, seconds, options.fuzzySeconds))
          inexact.push_back({category, id, matchTitle(*entry, utf8)});
      }
  }
  if (!inexact.empty())
    return matchList("211 Found inexact matches, list follows (until terminating `.')\r\n", inexact);
  return "202 No match for disc ID " + discId + ".\r\n";
}

// cddb read <category> <discid>
std::string read(const std::vector<std::string>& words, const EntryStore& store, bool utf8) {
  if (words.size() != 4 || !isValidCategory(words[2]) || !isValidDiscId(words[3]))
    return kSyntaxError;
  const std::string& category = words[2];
  const std::string discId = lower(words[3]);
  const auto entry = store.load(category, discId);
  if (!entry) return "401 " + category + " " + discId + " No such CD entry in database.\r\n";
  const bool storedUtf8 = platform::isUtf8(*entry);
  std::string text =
      "210 " + category + " " + discId + " CD database entry follows (until terminating `.')\r\n";
  for (const std::string_view line : splitLines(*entry)) {
    text += forReply(line, storedUtf8, utf8);
    text += "\r\n";
  }
  text += ".\r\n";
  return text;
}

}  // namespace

std::map<std::string, std::string> decodeForm(std::string_view form) {
  std::map<std::string, std::string> fields;
  while (!form.empty()) {
    const std::size_t end = form.find('&');
    const std::string_view pair = form.substr(0, end);
    const std::size_t eq = pair.find('=');
    std::string key = decodeComponent(pair.substr(0, eq));
    std::string value = eq == std::string_view::npos ? std::string() : decodeComponent(pair.substr(eq + 1));
    if (!key.empty()) fields.emplace(std::move(key), std::move(value));
    if (end == std::string_view::npos) break;
    form.remove_prefix(end + 1);
  }
  return fields;
}

CddbReply handleCddbForm(std::string_view form, const EntryStore& store,
                         const MatchOptions& options) {
  CddbReply reply;
  if (form.size() > kMaxFormBytes) {
    reply.text = kSyntaxError;
    return reply;
  }
  const auto fields = decodeForm(form);
  long level = 1;
  if (const auto proto = fields.find("proto"); proto != fields.end()) {
    level = parseNumber(proto->second);
    if (level < 1 || level > kMaxLevel) {
      reply.text = kIllegalLevel;
      return reply;
    }
  }
  reply.utf8 = level >= 6;

  const auto cmd = fields.find("cmd");
  const std::vector<std::string> words = splitWords(cmd == fields.end() ? "" : cmd->second);
  if (words.size() < 2 || lower(words[0]) != "cddb") {
    reply.text = kSyntaxError;
  } else if (lower(words[1]) == "query") {
    reply.text = query(words, store, options, reply.utf8);
  } else if (lower(words[1]) == "read") {
    reply.text = read(words, store, reply.utf8);
  } else {
    reply.text = kSyntaxError;
  }
  return reply;
}

std::optional<EntryName> readTarget(std::string_view form) {
  if (form.size() > kMaxFormBytes) return std::nullopt;
  const auto fields = decodeForm(form);
  const auto cmd = fields.find("cmd");
  if (cmd == fields.end()) return std::nullopt;
  const std::vector<std::string> words = splitWords(cmd->second);
  if (words.size() != 4 || lower(words[0]) != "cddb" || lower(words[1]) != "read" ||
      !isValidCategory(words[2]) || !isValidDiscId(words[3]))
    return std::nullopt;
  return EntryName{words[2], lower(words[3])};
}

}  // namespace cddb_server
