#pragma once
// 16-byte GUIDs with the usual text form
// "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}".
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qom {

struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  bool isNull() const;
  std::string toString() const;
  // Parses the text form (braces required, hex digits in either case).
  static std::optional<Guid> parse(std::string_view text);

  friend bool operator==(const Guid& a, const Guid& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 && a.data4 == b.data4;
  }
  friend bool operator!=(const Guid& a, const Guid& b) { return !(a == b); }
};
static_assert(sizeof(Guid) == 16, "GUIDs are 16 bytes");

constexpr Guid kNullGuid{};

}  // namespace qom
