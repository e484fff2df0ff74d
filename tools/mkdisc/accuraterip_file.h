#pragma once
// The AccurateRip database file of a made disc: one response whose
// checksums are those of the disc's audio as a drive with read offset 0
// delivers it, so a rip of the image verifies against a local server.
#include <cstdint>
#include <string>

#include "sdk/verify/accuraterip.h"
#include "tools/mkdisc/description.h"
#include "tools/mkdisc/layout.h"

namespace mkdisc {

// The disc's AccurateRip identity from its table of contents.
verify::DiscIds accurateRipIds(const DiscLayout& layout);

// The file's bytes: each audio track's v2 checksum over the sectors a rip
// reads (its start to the next track's start or the lead-out) and the
// checksum of its sector 450 (0 for a track too short to have one), all
// with `confidence`.
std::string makeAccurateRipFile(const Disc& disc, const DiscLayout& layout, std::uint8_t confidence);

}  // namespace mkdisc
