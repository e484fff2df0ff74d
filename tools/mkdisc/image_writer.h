#pragma once
// The CUE sheet and the raw BIN of a made disc.
#include <string>

#include "tools/mkdisc/description.h"
#include "tools/mkdisc/layout.h"

namespace mkdisc {

// mm:ss:ff of a sector count, as CUE sheets write positions in the file.
std::string cueTime(std::uint32_t sectors);

std::string makeCue(const DiscLayout& layout, const std::string& binName, const std::string& discId);

// Writes every sector from 0 to the lead-out; false with error set.
bool writeBin(const Disc& disc, const DiscLayout& layout, const std::string& path, std::string& error);

}  // namespace mkdisc
