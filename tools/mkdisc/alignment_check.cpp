#include "tools/mkdisc/alignment_check.h"

#include <cstring>
#include <vector>

#include "tools/mkdisc/sector_render.h"

namespace mkdisc {
namespace {

constexpr std::size_t kShift = kOverlapSectors * kSectorBytes;  // 7056: shifts 0..7055
// Sectors L-3 .. L+3 hold every byte the search around sector L compares.
constexpr std::uint32_t kWindowSectors = 2 * kOverlapSectors + 1;

}  // namespace

std::optional<std::uint32_t> findAmbiguousSector(const Disc& disc, const DiscLayout& layout,
                                                 std::size_t track) {
  const TrackLayout& tl = layout.tracks.at(track);
  if (tl.contentSectors < 2) return std::nullopt;
  std::vector<std::uint8_t> window(kWindowSectors * kSectorBytes);
  std::vector<bool> present(kWindowSectors);
  SectorBytes sector;
  // Slot i of the window holds sector L - 3 + i, absent outside the disc.
  auto load = [&](std::uint32_t slot, std::int64_t lba) {
    present[slot] = lba >= 0 && lba < static_cast<std::int64_t>(layout.leadout);
    if (!present[slot]) return;
    renderSector(disc, layout, static_cast<std::uint32_t>(lba), sector);
    std::memcpy(window.data() + slot * kSectorBytes, sector.data(), kSectorBytes);
  };
  // L runs over every sector after the first; the reference is sector L-1.
  const std::uint32_t first = tl.start + 1;
  for (std::uint32_t i = 0; i < kWindowSectors; ++i)
    load(i, static_cast<std::int64_t>(first) + i - kOverlapSectors);
  for (std::uint32_t L = first; L < tl.start + tl.contentSectors; ++L) {
    if (L != first) {  // slide by one sector
      std::memmove(window.data(), window.data() + kSectorBytes, (kWindowSectors - 1) * kSectorBytes);
      present.erase(present.begin());
      present.push_back(false);
      load(kWindowSectors - 1, static_cast<std::int64_t>(L) + kOverlapSectors);
    }
    const std::uint8_t* base = window.data() + kOverlapSectors * kSectorBytes;  // sector L
    const std::uint8_t* reference = base - kSectorBytes;
    auto inWindow = [&](std::ptrdiff_t offset) {  // offset from sector L
      const std::ptrdiff_t from = offset + static_cast<std::ptrdiff_t>(kShift);
      const std::ptrdiff_t to = from + static_cast<std::ptrdiff_t>(kSectorBytes) - 1;
      return from >= 0 && to < static_cast<std::ptrdiff_t>(window.size()) &&
             present[static_cast<std::size_t>(from) / kSectorBytes] &&
             present[static_cast<std::size_t>(to) / kSectorBytes];
    };
    for (std::ptrdiff_t t = 0; t < static_cast<std::ptrdiff_t>(kShift); ++t) {
      for (std::ptrdiff_t offset : {t, -t}) {
        if (offset == -static_cast<std::ptrdiff_t>(kSectorBytes) || !inWindow(offset)) continue;
        const std::uint8_t* at = base + offset;
        // Most positions differ in their first sample; test that inline.
        if (at[0] != reference[0] || at[1] != reference[1]) continue;
        if (std::memcmp(at, reference, kSectorBytes) == 0) return L - 1 - tl.start;
      }
    }
  }
  return std::nullopt;
}

}  // namespace mkdisc
