#include "encoders/lame/id3v2_header.h"

namespace encoders {

std::size_t id3v2TagLength(const std::uint8_t* bytes, std::size_t size) {
  constexpr std::size_t kHeaderBytes = 10;
  if (bytes == nullptr || size < kHeaderBytes) return 0;
  if (bytes[0] != 'I' || bytes[1] != 'D' || bytes[2] != '3') return 0;
  if (bytes[3] < 2 || bytes[3] > 4 || bytes[4] == 0xFF) return 0;
  std::size_t body = 0;
  for (int i = 6; i < 10; ++i) {
    if (bytes[i] & 0x80) return 0;  // sizes are "synchsafe": 7 bits a byte
    body = (body << 7) | bytes[i];
  }
  const bool footer = bytes[3] == 4 && (bytes[5] & 0x10) != 0;
  const std::size_t total = kHeaderBytes + body + (footer ? kHeaderBytes : 0);
  return total <= size ? total : 0;
}

}  // namespace encoders
