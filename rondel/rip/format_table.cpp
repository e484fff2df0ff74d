#include "rondel/rip/format_table.h"

#include "platform/ascii.h"

namespace rondel {

bool FindFormat(std::string_view label, std::uint32_t& encoderIndex, std::uint32_t& setting) {
  for (const FormatRow& row : kFormatTable) {
    if (platform::equalIgnoringAsciiCase(label, row.label)) {
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
