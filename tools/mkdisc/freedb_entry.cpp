#include "tools/mkdisc/freedb_entry.h"

#include <discid/discid.h>

#include <memory>

namespace mkdisc {
namespace {

struct DiscIdFree {
  void operator()(DiscId* d) const { discid_free(d); }
};

// KEY=value, split over as many KEY= lines as it takes; readers join them.
void appendField(std::string& out, const std::string& key, const std::string& value) {
  std::size_t pos = 0;
  do {
    out += key;
    out += '=';
    out += value.substr(pos, kEntryValueBytes);
    out += '\n';
    pos += kEntryValueBytes;
  } while (pos < value.size());
}

}  // namespace

std::string freedbDiscId(const DiscLayout& layout, std::string& error) {
  std::unique_ptr<DiscId, DiscIdFree> d(discid_new());
  if (!d) {
    error = "libdiscid: out of memory";
    return {};
  }
  // Frame offsets count the 2-second lead-in; every track of the table of
  // contents counts, a data track too, as on a real enhanced CD.
  int offsets[100] = {};
  offsets[0] = static_cast<int>(layout.leadout + kLeadInSectors);
  for (const TrackLayout& t : layout.tracks)
    offsets[t.number] = static_cast<int>(t.start + kLeadInSectors);
  const int last = static_cast<int>(layout.tracks.size());
  if (!discid_put(d.get(), 1, last, offsets)) {
    const char* why = discid_get_error_msg(d.get());
    error = std::string("libdiscid refused the table of contents: ") + (why ? why : "");
    return {};
  }
  const char* id = discid_get_freedb_id(d.get());
  if (!id) {
    error = "libdiscid gave no freedb id";
    return {};
  }
  return id;
}

std::string makeEntry(const Disc& disc, const DiscLayout& layout, const std::string& discId) {
  std::string out = "# xmcd\n#\n# Track frame offsets:\n";
  for (const TrackLayout& t : layout.tracks)
    out += "#\t" + std::to_string(t.start + kLeadInSectors) + "\n";
  out += "#\n# Disc length: " + std::to_string((layout.leadout + kLeadInSectors) / kSectorsPerSecond) +
         " seconds\n#\n# Revision: 0\n# Submitted via: mkdisc 1.0\n#\n";
  out += "DISCID=" + discId + "\n";
  appendField(out, "DTITLE", disc.artist + " / " + disc.album);
  appendField(out, "DYEAR", disc.year);
  appendField(out, "DGENRE", disc.genre);
  for (std::size_t i = 0; i < disc.tracks.size(); ++i)
    appendField(out, "TTITLE" + std::to_string(i), disc.tracks[i].title);
  appendField(out, "EXTD", disc.comment);
  for (std::size_t i = 0; i < disc.tracks.size(); ++i)
    appendField(out, "EXTT" + std::to_string(i), disc.tracks[i].comment);
  out += "PLAYORDER=\n";
  return out;
}

}  // namespace mkdisc
