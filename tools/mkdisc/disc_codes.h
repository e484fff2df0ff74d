#pragma once
// The codes a disc's Q sub-channel carries and its CUE sheet names: the
// media catalogue number (CATALOG, 13 digits, a UPC/EAN bar code) and each
// audio track's ISRC (CCOOOYYNNNNN: country letters, owner letters or
// digits, year and serial digits).
#include <string>
#include <string_view>

#include "tools/mkdisc/description.h"

namespace mkdisc {

bool isCatalog(std::string_view text);
bool isIsrc(std::string_view text);

// The sheet with a CATALOG line before its FILE line and each track's ISRC
// line after its TRACK line, for the codes the disc has.
std::string withCodes(const std::string& cue, const Disc& disc);

}  // namespace mkdisc
