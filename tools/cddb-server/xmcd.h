#pragma once
// What the server needs from an xmcd entry to match a query: the track frame
// offsets and the disc length from the comment header, and the disc title.
// The entry text itself is served as stored.
#include <string>
#include <string_view>
#include <vector>

namespace cddb_server {

struct EntrySummary {
  std::vector<long> offsets;  // "# Track frame offsets:" list, at most 99
  long lengthSeconds = -1;    // "# Disc length: N seconds"; -1 when absent
  std::string dtitle;         // every DTITLE= value joined, as stored
};

// The lines of a text: split at LF, a CR before the LF dropped, no empty
// line for a final line end.
std::vector<std::string_view> splitLines(std::string_view text);

// Never fails: what cannot be read is left out (an offset list that is
// broken or longer than 99 makes the entry unmatchable by offsets).
EntrySummary summarizeEntry(std::string_view text);

}  // namespace cddb_server
