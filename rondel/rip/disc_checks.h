#pragma once
// What the copy checks need of a table of contents: a track's place among
// the disc's audio tracks (the checksums leave out the disc's first and
// last five sectors of audio) and the disc's AccurateRip identity.
#include <cstdint>

#include "sdk/cdr_api.h"
#include "sdk/verify/accuraterip.h"

namespace rondel {

struct AudioPlace {
  std::uint32_t index = 0;  // 0-based among audio tracks
  bool first = false, last = false;
  bool audio = false;       // false: a data track or a number the table lacks
};

// Where `track` lies among the audio tracks of `toc`; data tracks do not
// count. Only the 99 entries that exist are read, whatever the record says.
AudioPlace audioPlaceOf(const CdToc& toc, std::uint32_t track);

// The disc's AccurateRip ids and database path (see verify::discIds): every
// track in order, data marked, and the lead-out of entry 0.
verify::DiscIds accurateRipIdsOf(const CdToc& toc);

}  // namespace rondel
