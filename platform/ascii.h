#pragma once
// Letter case folding for protocol words, labels and table names: ASCII only,
// since the texts are Windows-1252 and a locale must neither fold accented
// letters nor change an answer from one machine to the next.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

constexpr bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

// The value of a hexadecimal digit, either case; -1 for any other character.
constexpr int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline std::string asciiLowered(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = asciiLower(c);
  return out;
}

// A drive's INQUIRY field (vendor, model, revision) as shown: up to its
// first NUL, controls and non-ASCII bytes as "?", surrounding blanks gone.
inline std::string inquiryField(std::string_view field) {
  std::string out;
  for (char c : field) {
    if (c == '\0') break;
    const auto u = static_cast<unsigned char>(c);
    out += (u < 0x20 || u >= 0x7f) ? '?' : c;
  }
  const auto first = out.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

}  // namespace platform
