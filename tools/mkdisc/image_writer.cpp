#include "tools/mkdisc/image_writer.h"

#include <cstdio>
#include <vector>

#include "tools/mkdisc/atomic_file.h"
#include "tools/mkdisc/sector_render.h"

namespace mkdisc {

std::string cueTime(std::uint32_t sectors) {
  char text[16];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u", sectors / (60 * 75), (sectors / 75) % 60,
                sectors % 75);
  return text;
}

std::string makeCue(const DiscLayout& layout, const std::string& binName, const std::string& discId) {
  std::string cue = "REM DISCID " + discId + "\nREM COMMENT \"mkdisc 1.0\"\n";
  cue += "FILE \"" + binName + "\" BINARY\n";
  // Sessions as CUE sheets for multi-session discs mark them; readers that
  // know no sessions see the gap as the data track's INDEX 00.
  const bool sessions = layout.firstSessionLeadout != 0;
  for (const TrackLayout& t : layout.tracks) {
    if (sessions && (t.number == 1 || t.session != 1))
      cue += "  REM SESSION 0" + std::to_string(t.session) + "\n";
    char line[64];
    std::snprintf(line, sizeof line, "  TRACK %02d %s\n", t.number, t.data ? "MODE1/2352" : "AUDIO");
    cue += line;
    if (t.index0 != t.start) cue += "    INDEX 00 " + cueTime(t.index0) + "\n";
    cue += "    INDEX 01 " + cueTime(t.start) + "\n";
  }
  return cue;
}

bool writeBin(const Disc& disc, const DiscLayout& layout, const std::string& path, std::string& error) {
  AtomicFile file(path);
  constexpr std::uint32_t kChunkSectors = 75;
  constexpr std::size_t kChunkBytes = kChunkSectors * kSectorBytes;
  std::vector<std::uint8_t> chunk;
  chunk.reserve(kChunkBytes);
  SectorBytes sector;
  for (std::uint32_t lba = 0; lba < layout.leadout && file.ok(); ++lba) {
    renderSector(disc, layout, lba, sector);
    chunk.insert(chunk.end(), sector.begin(), sector.end());
    if (chunk.size() >= kChunkBytes || lba + 1 == layout.leadout) {
      file.write(chunk.data(), chunk.size());
      chunk.clear();
    }
  }
  if (!file.commit()) {
    error = file.error();
    return false;
  }
  return true;
}

}  // namespace mkdisc
