#include "rondel/rip/format_table.h"

namespace rondel {
namespace {

// ASCII only: the labels are ASCII, and a locale must not change the answer.
char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

}  // namespace

bool FindFormat(std::string_view label, std::uint32_t& encoderIndex, std::uint32_t& setting) {
  for (const FormatRow& row : kFormatTable) {
    if (equalIgnoringAsciiCase(label, row.label)) {
      encoderIndex = row.encoderIndex;
      setting = row.setting;
      return true;
    }
  }
  encoderIndex = 0;
  setting = 0;
  return false;
}

}  // namespace rondel
