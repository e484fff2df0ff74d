#include "rondel/output/output_naming.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "platform/codepage.h"

namespace rondel {
namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The path being named, each character marked with where it came from: the
// user's folder and pattern (false) or an inserted value or number (true).
// Every step keeps the marks in step with the text.
struct MarkedText {
  std::string text;
  std::vector<bool> fromValue;
};

// First occurrence of `token` at or after `from`, or npos.
std::size_t findFrom(std::string_view text, std::string_view token, std::size_t from) {
  if (token.size() > text.size()) return std::string::npos;
  for (std::size_t start = from; start + token.size() <= text.size(); ++start)
    if (platform::equalIgnoringAsciiCase(text.substr(start, token.size()), token)) return start;
  return std::string::npos;
}

// Replaces every occurrence of `token` by `value`. The search resumes after
// each inserted value, so a value holding its own token (a title
// "<track>") is inserted once rather than expanded for ever; a value that
// holds a later token is still expanded by that token's own pass.
void replaceToken(MarkedText& marked, const std::string& token, const std::string& value) {
  std::size_t from = 0;
  while (true) {
    const std::size_t at = findFrom(marked.text, token, from);
    if (at == std::string::npos) break;
    marked.text.replace(at, token.size(), value);
    const auto where = marked.fromValue.begin() + static_cast<std::ptrdiff_t>(at);
    marked.fromValue.erase(where, where + static_cast<std::ptrdiff_t>(token.size()));
    marked.fromValue.insert(marked.fromValue.begin() + static_cast<std::ptrdiff_t>(at), value.size(), true);
    from = at + value.size();
  }
}

// A control character in a value would reach the file system (or cut the
// path at a NUL): it becomes a space.
std::string withoutControlChars(const std::string& value) {
  return platform::replaceControls(value, ' ', platform::TextForm::kCp1252);
}

MarkedText collapseMarked(const MarkedText& in) {
  MarkedText out;
  out.text.reserve(in.text.size());
  for (std::size_t i = 0; i < in.text.size(); ++i) {
    const char c = in.text[i];
    if (c == '\\' && !out.text.empty() && out.text.back() == '\\') {
      // The run keeps one backslash; it is the user's when any of the run
      // was, so a value's "\" next to the user's never makes the user's
      // folder count as touched by a value.
      if (!in.fromValue[i]) out.fromValue.back() = false;
      continue;
    }
    out.text.push_back(c);
    out.fromValue.push_back(in.fromValue[i]);
  }
  return out;
}

MarkedText trimMarked(const MarkedText& in) {
  if (in.text.empty()) return in;
  const std::string& text = in.text;
  std::size_t end = text.size() - 1;
  while (end > 0 && (text[end] == ' ' || text[end] == '\\')) --end;
  std::size_t start = 0;
  while (start < end && text[start] == ' ') ++start;
  MarkedText out;
  out.text = text.substr(start, end - start + 1);
  out.fromValue.assign(in.fromValue.begin() + static_cast<std::ptrdiff_t>(start),
                       in.fromValue.begin() + static_cast<std::ptrdiff_t>(end + 1));
  return out;
}

// One name of the path (between backslashes); `touched` when a value put a
// character into it or brought a backslash that bounds it.
struct Name {
  std::string text;
  bool touched = false;
};

std::vector<Name> splitNames(const MarkedText& marked) {
  std::vector<Name> names;
  const std::string& text = marked.text;
  std::size_t begin = 0;
  while (true) {
    std::size_t end = text.find('\\', begin);
    if (end == std::string::npos) end = text.size();
    Name name{text.substr(begin, end - begin), false};
    for (std::size_t i = begin; i < end; ++i) name.touched = name.touched || marked.fromValue[i];
    if (begin > 0 && marked.fromValue[begin - 1]) name.touched = true;
    if (end < text.size() && marked.fromValue[end]) name.touched = true;
    names.push_back(std::move(name));
    if (end == text.size()) break;
    begin = end + 1;
  }
  return names;
}

std::size_t joinedLength(const std::vector<Name>& names) {
  std::size_t length = names.empty() ? 0 : names.size() - 1;
  for (const Name& name : names) length += name.text.size();
  return length;
}

std::string join(const std::vector<Name>& names, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count && i < names.size(); ++i) {
    if (i > 0) out += '\\';
    out += names[i].text;
  }
  return out;
}

// "." and ".." climb, and Windows drops trailing dots and spaces, so a name
// of only dots and spaces would name its folder or the one above: each dot
// becomes "_" (".." gives "__", ". ." gives "_ _").
void makeHarmless(std::string& name) {
  if (name.find('.') == std::string::npos) return;
  if (name.find_first_not_of(". ") != std::string::npos) return;
  std::replace(name.begin(), name.end(), '.', '_');
}

// Cuts a value's name to `length` characters; spaces the cut leaves at the
// end go (unless nothing would remain), and the rest is made harmless.
void cutName(std::string& name, std::size_t length) {
  if (name.size() > length) {
    name.resize(length);
    const std::size_t last = name.find_last_not_of(' ');
    if (last != std::string::npos) name.resize(last + 1);
  }
  makeHarmless(name);
}

// Bytes of each Windows-1252 character in UTF-8.
const std::array<unsigned char, 256>& utf8Lengths() {
  static const std::array<unsigned char, 256> lengths = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c) {
      const char byte = static_cast<char>(c);
      table[c] = static_cast<unsigned char>(platform::cp1252ToUtf8(std::string_view(&byte, 1)).size());
    }
    return table;
  }();
  return lengths;
}

// The most characters of `name` whose UTF-8 form fits `bytes`.
std::size_t charsWithinBytes(const std::string& name, std::size_t bytes) {
  const auto& lengths = utf8Lengths();
  std::size_t used = 0, count = 0;
  for (char c : name) {
    used += lengths[static_cast<unsigned char>(c)];
    if (used > bytes) break;
    ++count;
  }
  return count;
}

// Room the folders leave for the file name when values' folders give.
constexpr std::size_t kFileNameRoom = 80;

// Brings the path within kMaxJobPath characters and each value's name
// within its bytes, shortening values before the user's text (see the
// header). The first name (the drive, or "" before a leading "\") is the
// user's in every joined folder and pattern, and is never shortened.
void fitNames(std::vector<Name>& names) {
  if (names.size() < 2) {  // no folder at all (a relative path): cut
    if (!names.empty() && names[0].text.size() > kMaxJobPath) names[0].text.resize(kMaxJobPath);
    return;
  }
  const std::size_t last = names.size() - 1;
  for (std::size_t i = 1; i < names.size(); ++i) {
    if (!names[i].touched) continue;
    cutName(names[i].text,
            charsWithinBytes(names[i].text, i == last ? kMaxFileNameBytes : kMaxNameBytes));
  }
  // The folders alone, so the cut is the same for every track of an album
  // whatever its title: value folders, longest first, down to the largest
  // level every one of them may keep, one character more for the first few
  // that were cut, until the folders leave room for kFileNameRoom (or each
  // is down to one character).
  std::size_t total = joinedLength(names);
  const std::size_t folderTarget = kMaxJobPath - 1 - kFileNameRoom;
  const std::size_t folderPart = total - 1 - names[last].text.size();
  std::vector<std::size_t> folders;
  std::size_t folderChars = 0;
  for (std::size_t i = 1; i < last; ++i)
    if (names[i].touched) {
      folders.push_back(i);
      folderChars += names[i].text.size();
    }
  if (!folders.empty() && folderPart > folderTarget) {
    const std::size_t fixed = folderPart - folderChars;
    const auto keptAt = [&](std::size_t level) {
      std::size_t kept = fixed;
      for (std::size_t i : folders) kept += std::min(names[i].text.size(), level);
      return kept;
    };
    std::size_t low = 1, high = kMaxNameBytes;
    while (low < high) {  // the largest level that fits, or 1
      const std::size_t mid = (low + high + 1) / 2;
      if (keptAt(mid) <= folderTarget) low = mid; else high = mid - 1;
    }
    std::size_t spare = folderTarget > keptAt(low) ? folderTarget - keptAt(low) : 0;
    for (std::size_t i : folders) {
      std::size_t length = std::min(names[i].text.size(), low);
      if (names[i].text.size() > low && spare > 0) {
        ++length;
        --spare;
      }
      cutName(names[i].text, length);
    }
    total = joinedLength(names);
  }
  // Then a file name too long for what is left is cut at its end (the rip
  // worker numbers a name an earlier track of the copy took).
  if (total > kMaxJobPath && names[last].touched) {
    const std::size_t excess = total - kMaxJobPath;
    const std::size_t size = names[last].text.size();
    cutName(names[last].text, size > excess ? size - excess : 1);
    total = joinedLength(names);
  }
  // Only the user's own text is left to give: the path is cut at its end.
  while (total > kMaxJobPath && names.size() > 1) {
    Name& end = names.back();
    const std::size_t excess = total - kMaxJobPath;
    if (end.text.size() > excess) {
      cutName(end.text, end.text.size() - excess);  // a cut to ".." becomes "__"
    } else {
      names.pop_back();
    }
    if (names.back().text.empty() && names.size() > 1) names.pop_back();
    total = joinedLength(names);
  }
  if (total > kMaxJobPath) names.back().text.resize(kMaxJobPath);
}

// The folder the user's own text names before the first token, cleaned as
// the path's start is. Taken from the pattern rather than from the named
// path, so a value that cleans away to nothing ("?" as the last name)
// cannot move the path's end up to the folder itself.
std::string userFolder(const std::string& pattern) {
  std::size_t first = pattern.size();
  for (const char* token : {"<number>", "<artist>", "<album>", "<track>"})
    first = std::min(first, findFrom(pattern, token, 0));
  const std::size_t separator = pattern.rfind('\\', first == 0 ? 0 : first - 1);
  if (separator == std::string::npos) return {};
  std::string folder = collapseBackslashes(replaceIllegalChars(pattern.substr(0, separator + 1)));
  const std::size_t start = folder.find_first_not_of(' ');
  return start == std::string::npos ? std::string() : folder.substr(start);
}

}  // namespace

int findTokenNoCase(const std::string& text, const std::string& token) {
  const std::size_t at = findFrom(text, token, 0);
  // Patterns come from a configuration value of any length: an index past
  // what an int holds counts as not found rather than a wrapped number.
  return at == std::string::npos || at > 0x7FFFFFFF ? -1 : static_cast<int>(at);
}

std::string replaceIllegalChars(std::string text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    char& c = text[i];
    switch (c) {
      case '/': c = '-'; break;
      case ':':
        if (i == 1 && text.size() > 2 && text[2] == '\\' && isAsciiLetter(text[0])) break;
        c = ' ';
        break;
      case '*':
      case '<':
      case '>':
      case '?':
      case '"':
      case '|': c = ' '; break;
      default: break;
    }
  }
  return text;
}

std::string collapseBackslashes(std::string text) {
  std::vector<bool> marks(text.size(), false);
  return collapseMarked(MarkedText{std::move(text), std::move(marks)}).text;
}

std::string trimPath(std::string text) {
  std::vector<bool> marks(text.size(), false);
  return trimMarked(MarkedText{std::move(text), std::move(marks)}).text;
}

std::string limitPathLength(std::string text) {
  if (text.size() > kMaxOutputPath) text.resize(kMaxOutputPath);
  return text;
}

NamedOutput nameOutputPath(const std::string& pattern, std::uint32_t trackNumber,
                           std::string artist, std::string album, std::string title) {
  if (artist.empty()) artist = "artist";
  if (album.empty()) album = "album";
  if (title.empty()) title = "track";
  if (pattern.empty()) return {};

  char number[16];
  std::snprintf(number, sizeof number, "%02u", static_cast<unsigned>(trackNumber));
  const std::array<std::pair<const char*, std::string>, 4> tokens{{
      {"<number>", number},
      {"<artist>", withoutControlChars(artist)},
      {"<album>", withoutControlChars(album)},
      {"<track>", withoutControlChars(title)}}};
  MarkedText marked{pattern, std::vector<bool>(pattern.size(), false)};
  for (const auto& [token, value] : tokens) replaceToken(marked, token, value);

  // The illegal characters are replaced one for one, so the marks stay.
  marked.text = replaceIllegalChars(std::move(marked.text));
  std::vector<Name> names = splitNames(trimMarked(collapseMarked(marked)));
  for (Name& name : names)
    if (name.touched) makeHarmless(name.text);
  fitNames(names);

  NamedOutput named;
  named.path = join(names, names.size());
  named.folder = userFolder(pattern);
  return named;
}

std::string expandOutputPath(std::string pattern, std::uint32_t trackNumber, std::string artist,
                             std::string album, std::string title) {
  return nameOutputPath(pattern, trackNumber, std::move(artist), std::move(album), std::move(title)).path;
}

}  // namespace rondel
