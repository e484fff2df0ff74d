#pragma once
// The bytes of any one sector of a described disc, computed on its own so
// that the image can be written as a stream and any stretch re-made for
// checks. Same disc, same seed, same bytes.
#include <array>
#include <cstdint>

#include "tools/mkdisc/description.h"
#include "tools/mkdisc/layout.h"

namespace mkdisc {

constexpr std::size_t kSectorBytes = 2352;
constexpr std::size_t kSamplesPerSector = 588;  // stereo frames of 16-bit samples
constexpr double kSampleRate = 44100.0;

using SectorBytes = std::array<std::uint8_t, kSectorBytes>;

void renderSector(const Disc& disc, const DiscLayout& layout, std::uint32_t lba, SectorBytes& out);

}  // namespace mkdisc
