#pragma once
// The freedb view of a made disc: its disc id, computed by libdiscid from
// the frame offsets, and its database entry in xmcd form.
#include <string>

#include "tools/mkdisc/description.h"
#include "tools/mkdisc/layout.h"

namespace mkdisc {

constexpr std::size_t kEntryValueBytes = 70;  // longer values go on to more lines

// Eight lower-case hex digits; empty with error set when libdiscid refuses
// the table of contents.
std::string freedbDiscId(const DiscLayout& layout, std::string& error);

// The entry text in Windows-1252 with LF line ends, as a freedb folder
// holds it (category/discid).
std::string makeEntry(const Disc& disc, const DiscLayout& layout, const std::string& discId);

}  // namespace mkdisc
