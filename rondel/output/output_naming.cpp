#include "rondel/output/output_naming.h"

#include <array>
#include <cstdio>
#include <string_view>
#include <utility>

#include "platform/ascii.h"

namespace rondel {
namespace {

bool isAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

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
std::string replaceToken(std::string text, const std::string& token, const std::string& value) {
  std::size_t from = 0;
  while (true) {
    const std::size_t at = findFrom(text, token, from);
    if (at == std::string::npos) break;
    text.replace(at, token.size(), value);
    from = at + value.size();
  }
  return text;
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
  std::string out;
  out.reserve(text.size());
  for (char c : text)
    if (c != '\\' || out.empty() || out.back() != '\\') out.push_back(c);
  return out;
}

std::string trimPath(std::string text) {
  if (text.empty()) return text;
  std::size_t end = text.size() - 1;
  while (end > 0 && (text[end] == ' ' || text[end] == '\\')) --end;
  std::size_t start = 0;
  while (start < end && text[start] == ' ') ++start;
  return text.substr(start, end - start + 1);
}

std::string limitPathLength(std::string text) {
  if (text.size() > kMaxOutputPath) text.resize(kMaxOutputPath);
  return text;
}

std::string expandOutputPath(std::string pattern, std::uint32_t trackNumber, std::string artist,
                             std::string album, std::string title) {
  if (artist.empty()) artist = "artist";
  if (album.empty()) album = "album";
  if (title.empty()) title = "track";
  if (pattern.empty()) return {};

  char number[16];
  std::snprintf(number, sizeof number, "%02u", static_cast<unsigned>(trackNumber));
  const std::array<std::pair<const char*, const std::string*>, 4> tokens{{
      {"<number>", nullptr}, {"<artist>", &artist}, {"<album>", &album}, {"<track>", &title}}};
  const std::string numberText(number);
  for (const auto& [token, value] : tokens)
    pattern = replaceToken(std::move(pattern), token, value != nullptr ? *value : numberText);

  return limitPathLength(trimPath(collapseBackslashes(replaceIllegalChars(std::move(pattern)))));
}

}  // namespace rondel
