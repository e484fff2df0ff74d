#pragma once
// Checks that a track can be realigned without doubt by overlapped reads:
// a reader that re-reads up to 3 sectors either side and searches them byte
// by byte for the last sector it delivered must find that sector in one
// place only. Digital silence or a tone whose period divides the search
// distance fail this; seeded noise passes.
#include <cstdint>
#include <optional>

#include "tools/mkdisc/description.h"
#include "tools/mkdisc/layout.h"

namespace mkdisc {

constexpr std::uint32_t kOverlapSectors = 3;

// The first sector (counted from the track start) whose bytes also appear
// at another byte position within the overlap search window of the sector
// after it; empty when there is none.
std::optional<std::uint32_t> findAmbiguousSector(const Disc& disc, const DiscLayout& layout,
                                                 std::size_t track);

}  // namespace mkdisc
