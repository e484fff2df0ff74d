#pragma once
// The output formats offered to the user: a label, the encoder table slot
// that encodes it, and the encoder's setting. Constant; safe from any thread.
#include <array>
#include <cstdint>
#include <string_view>

namespace rondel {

struct FormatRow {
  const char* label;
  std::uint16_t encoderIndex;
  std::uint32_t setting;
};

// Exactly these two rows: no format uses pcm.dll (slot 2).
constexpr std::array<FormatRow, 2> kFormatTable{{
    {"1: MPEG Layer-3 [.mp3] - 112 kbit/s", 0, 8},
    {"2: Ogg Vorbis [.ogg] - 112 kbit/s", 1, 6},
}};

// Finds the first row whose label equals `label`, ASCII letters compared
// without regard to case (other bytes exactly; no trimming). On a match sets
// both outs from the row and answers true; otherwise sets both to 0 and
// answers false.
bool FindFormat(std::string_view label, std::uint32_t& encoderIndex, std::uint32_t& setting);

}  // namespace rondel
