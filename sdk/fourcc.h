#pragma once
// Four-character codes as one 32-bit number: the first character in the
// highest byte. A three-character code ("str") leaves the highest byte 0.
#include <cstdint>
#include <string>
#include <string_view>

namespace qom {

constexpr std::uint32_t fourCC(const char (&code)[5]) {
  return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
         (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}
constexpr std::uint32_t fourCC(const char (&code)[4]) {
  return (std::uint32_t(std::uint8_t(code[0])) << 16) | (std::uint32_t(std::uint8_t(code[1])) << 8) |
         std::uint32_t(std::uint8_t(code[2]));
}

// The characters of a code, leading zero bytes dropped ("wndc", "str").
inline std::string fourCCText(std::uint32_t code) {
  std::string text;
  for (int shift = 24; shift >= 0; shift -= 8) {
    char c = static_cast<char>((code >> shift) & 0xFF);
    if (c != 0 || !text.empty()) text.push_back(c);
  }
  return text;
}

}  // namespace qom
