#include "tools/cddb-server/cddb_commands.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <vector>

#include "platform/ascii.h"
#include "platform/codepage.h"
#include "tools/cddb-server/xmcd.h"

namespace cddb_server {
namespace {

constexpr int kMaxLevel = 6;
constexpr long kMaxTracks = 99;
constexpr long kFramesPerSecond = 75;

const char kSyntaxError[] = "500 Command syntax error\r\n";
const char kListEnd[] = ".\r\n";
const char kIllegalLevel[] = "501 Illegal protocol level.\r\n";

struct Match {
  std::string category;
  std::string discId;
  std::string title;  // in the reply's character set
};

std::string decodeComponent(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '+') {
      out += ' ';
    } else if (s[i] == '%' && i + 2 < s.size() && platform::hexDigitValue(s[i + 1]) >= 0 && platform::hexDigitValue(s[i + 2]) >= 0) {
      out += static_cast<char>(platform::hexDigitValue(s[i + 1]) * 16 + platform::hexDigitValue(s[i + 2]));
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

// Text from an entry made safe for one reply line: no byte of it can end
// or split the line, or reach a terminal as a control (they become
// spaces); tabs stay when `keepTabs` (the offsets list of an entry is
// written with them).
std::string lineSafe(const std::string& text, bool utf8, bool keepTabs) {
  return platform::replaceControls(
      text, ' ', utf8 ? platform::TextForm::kUtf8 : platform::TextForm::kCp1252, keepTabs);
}

std::string matchTitle(const std::string& entry, bool replyUtf8) {
  return lineSafe(forReply(summarizeEntry(entry).dtitle, platform::isUtf8(entry), replyUtf8),
                  replyUtf8, false);
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

// A disc's layout as the query and discid commands give it from word
// `first` on: <ntracks> <offset>... <seconds>, nothing after.
struct Layout {
  std::vector<long> offsets;
  long seconds = 0;
};

std::optional<Layout> parseLayout(const std::vector<std::string>& words, std::size_t first) {
  if (words.size() < first + 3) return std::nullopt;
  const long tracks = parseNumber(words[first]);
  if (tracks < 1 || tracks > kMaxTracks ||
      words.size() != first + static_cast<std::size_t>(tracks) + 2)
    return std::nullopt;
  Layout layout;
  for (std::size_t i = 0; i < static_cast<std::size_t>(tracks); ++i) {
    layout.offsets.push_back(parseNumber(words[first + 1 + i]));
    if (layout.offsets.back() < 0) return std::nullopt;
  }
  layout.seconds = parseNumber(words.back());
  if (layout.seconds < 0) return std::nullopt;
  return layout;
}

// cddb query <discid> <ntracks> <offset>... <seconds>
std::string query(const std::vector<std::string>& words, const EntryStore& store,
                  const MatchOptions& options, bool utf8) {
  if (words.size() < 5 || !isValidDiscId(words[2])) return kSyntaxError;
  const std::string discId = platform::asciiLowered(words[2]);
  const std::optional<Layout> layout = parseLayout(words, 3);
  if (!layout) return kSyntaxError;
  const std::vector<long>& offsets = layout->offsets;
  const long seconds = layout->seconds;

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
    const std::vector<std::string> categories = store.categories();
    // Scan a small tree whole; in a large one look only at the ids an
    // inexact match can have, so the cost does not grow with the tree.
    std::size_t total = 0;
    for (const std::string& category : categories) {
      if (total > options.scanLimit) break;
      total += store.countEntries(category, options.scanLimit + 1 - total);
    }
    const auto consider = [&](const std::string& category, const std::string& id) {
      const auto entry = store.load(category, id);
      if (entry && isInexactMatch(summarizeEntry(*entry), offsets, seconds, options.fuzzySeconds))
        inexact.push_back({category, id, matchTitle(*entry, utf8)});
    };
    if (total <= options.scanLimit) {
      for (const std::string& category : categories)
        for (const std::string& id : store.discIds(category)) consider(category, id);
    } else {
      for (const std::string& category : categories)
        forEachCandidateDiscId(offsets, seconds, options.fuzzySeconds, [&](const std::string& id) {
          if (store.exists(category, id)) consider(category, id);
        });
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
  const std::string discId = platform::asciiLowered(words[3]);
  const auto entry = store.load(category, discId);
  if (!entry) return "401 " + category + " " + discId + " No such CD entry in database.\r\n";
  const bool storedUtf8 = platform::isUtf8(*entry);
  std::string text =
      "210 " + category + " " + discId + " CD database entry follows (until terminating `.')\r\n";
  const std::vector<std::string_view> lines = splitLines(*entry);
  // Clients such as libcddb read the comment header in order and take
  // nothing after a "# Disc length" without its "# Revision": an entry
  // stored without one gets "# Revision: 0" right after its disc length.
  bool hasRevision = false;
  for (const std::string_view line : lines)
    if (line.substr(0, 11) == "# Revision:") hasRevision = true;
  for (const std::string_view line : lines) {
    // A line "." ends the reply for every client, and the component's list
    // reader stops at any line starting with "."; no xmcd line starts with
    // one (they are comments or KEY=value), so such a line is left out.
    std::string served = lineSafe(forReply(line, storedUtf8, utf8), utf8, true);
    if (!served.empty() && served.front() == '.') continue;
    text += served;
    text += "\r\n";
    if (!hasRevision && line.substr(0, 14) == "# Disc length:") {
      text += "# Revision: 0\r\n";
      hasRevision = true;
    }
  }
  text += ".\r\n";
  return text;
}

std::string listReply(const char* head, const std::vector<std::string>& lines) {
  std::string text = head;
  for (const std::string& line : lines) text += line + "\r\n";
  return text + kListEnd;
}

// cddb lscat
std::string lscat(const EntryStore& store) {
  return listReply("210 OK, category list follows (until terminating `.')\r\n", store.categories());
}

// sites: this server only, in the level 3 form (site protocol port address
// latitude longitude description); below level 3 the list names cddbp
// servers only, and this one speaks HTTP alone.
std::string sites(long level, const ServerInfo& server) {
  if (level < 3) return "401 No site information available.\r\n";
  return listReply("210 OK, site information follows (until terminating `.')\r\n",
                   {server.host + " http " + std::to_string(server.port) +
                    " /~cddb/cddb.cgi N000.00 W000.00 Local freedb-format folder (cddb-server)"});
}

std::string motd(const ServerInfo& server) {
  return listReply(("210 Last modified: " + server.started +
                    " MOTD follows (until terminating `.')\r\n").c_str(),
                   {"Welcome to cddb-server, a local CDDB server for a freedb-format folder.",
                    "Queries and reads are served; submissions are not taken."});
}

std::string version() {
  return std::string("200 cddb-server ") + kServerVersion + " Copyright (c) the Rondel authors.\r\n";
}

std::string status(long level, const EntryStore& store, const ServerInfo& server) {
  std::vector<std::string> lines = {
      "Server status:",
      "    current proto: " + std::to_string(level),
      "    max proto: " + std::to_string(kMaxLevel),
      "    interface: http",
      "    gets: no",
      "    puts: no",
      "    updates: no",
      "    posting: no",
      "    validation: accepted",
      "    quotes: no",
      "    strip ext: no",
      "    secure: no",
      "    current users: 1",
      "    max users: " + std::to_string(server.maxUsers),
  };
  std::vector<std::string> perCategory;
  std::size_t total = 0;
  for (const std::string& category : store.categories()) {
    const std::size_t n = store.countEntries(category, static_cast<std::size_t>(-1));
    total += n;
    perCategory.push_back("    " + category + ": " + std::to_string(n));
  }
  lines.push_back("Database entries: " + std::to_string(total));
  lines.push_back("Database entries by category:");
  lines.insert(lines.end(), perCategory.begin(), perCategory.end());
  return listReply("210 OK, status information follows (until terminating `.')\r\n", lines);
}

std::string help() {
  return listReply(
      "210 OK, help information follows (until terminating `.')\r\n",
      {"The following commands are supported:",
       "",
       "CDDB <subcmd> (valid subcmds: LSCAT QUERY READ)",
       "    Performs a CD database operation.",
       "    lscat: lists the database categories.",
       "    query <discid> <ntrks> <off_1> <off_2> <...> <off_n> <nsecs>: looks a disc up.",
       "    read <categ> <discid>: sends the database entry.",
       "DISCID <ntrks> <off_1> <off_2> <...> <off_n> <nsecs>",
       "    Calculates a CDDB disc ID for a given set of CD TOC information.",
       "HELP [command]",
       "    Prints this help.",
       "MOTD",
       "    Prints the message of the day.",
       "SITES",
       "    Prints the list of known servers (this one).",
       "STAT",
       "    Prints server status information.",
       "VER",
       "    Prints the server version."});
}

// discid <ntrks> <off_1> ... <off_n> <nsecs>
std::string discid(const std::vector<std::string>& words) {
  const std::optional<Layout> layout = parseLayout(words, 1);
  if (!layout) return kSyntaxError;
  char id[16];
  std::snprintf(id, sizeof id, "%08lx", cddbDiscId(layout->offsets, layout->seconds) & 0xFFFFFFFFul);
  return std::string("200 Disc ID is ") + id + "\r\n";
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
  const std::string verb = words.empty() ? std::string() : platform::asciiLowered(words[0]);
  const std::string sub = words.size() < 2 ? std::string() : platform::asciiLowered(words[1]);
  if (verb == "cddb" && sub == "query") {
    reply.text = query(words, store, options, reply.utf8);
  } else if (verb == "cddb" && sub == "read") {
    reply.text = read(words, store, reply.utf8);
  } else if (verb == "cddb" && sub == "lscat" && words.size() == 2) {
    reply.text = lscat(store);
  } else if (verb == "sites" && words.size() == 1) {
    reply.text = sites(level, options.server);
  } else if (verb == "motd" && words.size() == 1) {
    reply.text = motd(options.server);
  } else if (verb == "ver" && words.size() == 1) {
    reply.text = version();
  } else if (verb == "stat" && words.size() == 1) {
    reply.text = status(level, store, options.server);
  } else if (verb == "help" && words.size() <= 2) {
    reply.text = help();
  } else if (verb == "discid") {
    reply.text = discid(words);
  } else {
    reply.text = kSyntaxError;
  }
  return reply;
}

const char kServerVersion[] = "v1.1";

namespace {

std::uint32_t digitSum(long value) {
  std::uint32_t sum = 0;
  for (; value > 0; value /= 10) sum += static_cast<std::uint32_t>(value % 10);
  return sum;
}

}  // namespace

unsigned long cddbDiscId(const std::vector<long>& offsets, long seconds) {
  if (offsets.empty()) return 0;
  std::uint32_t n = 0;
  for (const long offset : offsets) n += digitSum(offset / kFramesPerSecond);
  const auto playing = static_cast<std::uint32_t>(seconds - offsets[0] / kFramesPerSecond);
  return ((n % 255) << 24) | (playing << 8) | static_cast<std::uint32_t>(offsets.size());
}

void forEachCandidateDiscId(const std::vector<long>& offsets, long seconds, int fuzzySeconds,
                            const std::function<void(const std::string&)>& visit) {
  if (offsets.empty() || offsets.size() > 255 || fuzzySeconds <= 0) return;
  // The checksum byte is the sum of the digit sums of the track start
  // seconds, mod 255. Each start of a match lies within the tolerance (and
  // one second of rounding) of the query's: the reachable checksums are the
  // sums of one reachable digit sum per track.
  std::bitset<255> checksums;
  checksums.set(0);
  const long slack = fuzzySeconds + 1;
  for (const long offset : offsets) {
    const long second = offset / kFramesPerSecond;
    std::bitset<255> next;
    for (long s = std::max(0L, second - slack); s <= second + slack; ++s) {
      const unsigned shift = digitSum(s) % 255;
      next |= (checksums << shift) | (checksums >> (255 - shift));
    }
    checksums = next;
  }
  // The id's playing time is the lead-out second minus the first track's;
  // the entry's disc length and first offset each lie within the tolerance
  // of the query's, and each second is rounded down: one more of slack.
  const long playing = seconds - offsets[0] / kFramesPerSecond;
  const long spread = 2L * fuzzySeconds + 2;
  std::string id(8, '0');
  char text[16];
  for (long t = std::max(0L, playing - spread); t <= std::min(0xFFFFL, playing + spread); ++t)
    for (unsigned long checksum = 0; checksum < 255; ++checksum) {
      if (!checksums.test(checksum)) continue;
      std::snprintf(text, sizeof text, "%02lx%04lx%02lx", checksum, static_cast<unsigned long>(t),
                    static_cast<unsigned long>(offsets.size()));
      id.assign(text, 8);
      visit(id);
    }
}

std::vector<std::string> candidateDiscIds(const std::vector<long>& offsets, long seconds,
                                          int fuzzySeconds) {
  std::vector<std::string> ids;
  forEachCandidateDiscId(offsets, seconds, fuzzySeconds,
                         [&](const std::string& id) { ids.push_back(id); });
  return ids;
}

std::optional<EntryName> readTarget(std::string_view form) {
  if (form.size() > kMaxFormBytes) return std::nullopt;
  const auto fields = decodeForm(form);
  const auto cmd = fields.find("cmd");
  if (cmd == fields.end()) return std::nullopt;
  const std::vector<std::string> words = splitWords(cmd->second);
  if (words.size() != 4 || platform::asciiLowered(words[0]) != "cddb" || platform::asciiLowered(words[1]) != "read" ||
      !isValidCategory(words[2]) || !isValidDiscId(words[3]))
    return std::nullopt;
  return EntryName{words[2], platform::asciiLowered(words[3])};
}

}  // namespace cddb_server
