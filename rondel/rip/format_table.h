#pragma once
// The output formats offered to the user: a label, the encoder table slot
// that encodes it, and the encoder's setting.
#include <array>
#include <cstdint>

namespace rondel {

struct FormatRow {
  const char* label;
  std::uint16_t encoderIndex;
  std::uint32_t setting;
};

constexpr std::array<FormatRow, 2> kFormatTable{{
    {"1: MPEG Layer-3 [.mp3] - 112 kbit/s", 0, 8},
    {"2: Ogg Vorbis [.ogg] - 112 kbit/s", 1, 6},
}};

}  // namespace rondel
