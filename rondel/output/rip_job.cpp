#include "rondel/output/rip_job.h"

#include "platform/ascii.h"
#include "rondel/output/output_naming.h"
#include "rondel/rip/format_table.h"

namespace rondel {

std::string joinFolderAndPattern(const std::string& folder, const std::string& pattern) {
  return (folder.size() < 3 ? std::string() : folder) + "\\" + pattern;
}

RipJob buildRipJob(const RipJobSource& row, const RipJobSettings& settings, const CdToc& toc,
                   const std::string& folder, const std::string& pattern) {
  RipJob job;
  job.trackNumber = row.trackNumber;
  job.tagTrackNumber = row.trackNumber;
  job.resync = settings.resync;
  job.deviceIndex = settings.deviceIndex;
  FindFormat(settings.format, job.encoderIndex, job.encoderSetting);
  if (row.trackNumber >= 1 && row.trackNumber <= kCdMaxTracks) {
    const CdTocEntry& entry = toc.entries[row.trackNumber];
    job.startSector = entry.startSector;
    job.sectorCount = entry.lengthSectors;
  }
  job.album = row.album;
  job.title = row.title;
  job.year = row.year;
  job.artist = row.artist;
  job.genre = row.genre;
  job.comment = kRipComment;
  job.outputPath = expandOutputPath(joinFolderAndPattern(folder, pattern), row.trackNumber,
                                    row.artist, row.album, row.title);
  return job;
}

bool allArtistsEqual(const std::vector<std::string>& artists) {
  for (std::size_t i = 1; i < artists.size(); ++i)
    if (!platform::equalIgnoringAsciiCase(artists[0], artists[i])) return false;
  return true;
}

}  // namespace rondel
