#pragma once
// The freedb disc identifier of a table of contents.
#include <cstdint>

#include "sdk/cdr_api.h"

namespace rondel {

// The track numbers a table of contents describes, clamped to the 99 entries
// that exist: a record with first/last outside 1..99 or reversed yields no
// track, so no reader indexes past the entries whatever the record says.
struct TocTrackRange {
  std::uint32_t first = 1, last = 0;  // empty when last < first
  std::uint32_t count() const { return last >= first ? last - first + 1 : 0; }
};
TocTrackRange tocTracks(const CdToc& toc);

// The standard CDDB identifier: digit sums of the track start seconds (mod
// 255) in the top byte, the playing time in seconds shifted by 8, the track
// count in the low byte, combined with OR. Data tracks count like audio.
std::uint32_t computeDiscId(const CdToc& toc);

}  // namespace rondel
