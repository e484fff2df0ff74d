#pragma once
// Four-character codes as one 32-bit number: the first character in the
// highest byte. A three-character code ("str") leaves the highest byte 0.
#include <cstdint>

namespace qom {

constexpr std::uint32_t fourCC(const char (&code)[5]) {
  return (std::uint32_t(std::uint8_t(code[0])) << 24) | (std::uint32_t(std::uint8_t(code[1])) << 16) |
         (std::uint32_t(std::uint8_t(code[2])) << 8) | std::uint32_t(std::uint8_t(code[3]));
}
constexpr std::uint32_t fourCC(const char (&code)[4]) {
  return (std::uint32_t(std::uint8_t(code[0])) << 16) | (std::uint32_t(std::uint8_t(code[1])) << 8) |
         std::uint32_t(std::uint8_t(code[2]));
}

}  // namespace qom
