#include "rondel/output/job_builder.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "platform/ascii.h"
#include "platform/winpath.h"
#include "rondel/output/id3_tags.h"
#include "rondel/output/output_naming.h"
#include "rondel/rip/disc_checks.h"
#include "rondel/rip/format_table.h"

namespace rondel {

std::string joinFolderAndPattern(const std::string& folder, const std::string& pattern) {
  return (folder.size() < 3 ? std::string() : folder) + "\\" + pattern;
}

namespace {

// See RipJob::readableEndSector. Sums in 64 bits: a hostile record's
// values cannot wrap into a small end.
std::uint32_t readableEndOf(const CdToc& toc, std::uint32_t track) {
  const CdTocEntry& own = toc.entries[track];
  std::uint64_t end = std::uint64_t{own.startSector} + own.lengthSectors;
  const std::uint32_t last = std::min<std::uint32_t>(toc.lastTrack, kCdMaxTracks);
  for (std::uint32_t next = track + 1; next <= last; ++next) {
    const CdTocEntry& entry = toc.entries[next];
    if ((entry.control & kCdControlData) != 0) break;
    end = std::max(end, std::uint64_t{entry.startSector} + entry.lengthSectors);
  }
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(end, UINT32_MAX));
}

}  // namespace

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
    job.readableEndSector = readableEndOf(toc, row.trackNumber);
    const AudioPlace place = audioPlaceOf(toc, row.trackNumber);
    job.audioIndex = place.index;
    job.firstAudioTrack = place.first;
    job.lastAudioTrack = place.last;
  }
  job.discToc = toc;
  job.album = row.album;
  job.title = row.title;
  job.year = row.year;
  job.artist = row.artist;
  job.genre = row.genre;
  job.comment = kRipComment;
  addJobTags(job);
  // The naming would collapse a share's two backslashes into one, which
  // reads as the root of the current drive: the job gets no path instead.
  if (!platform::isNetworkSharePath(folder)) {
    NamedOutput named = nameOutputPath(joinFolderAndPattern(folder, pattern), row.trackNumber,
                                       row.artist, row.album, row.title);
    job.outputPath = std::move(named.path);
    job.outputFolder = std::move(named.folder);
  }
  return job;
}

void addJobTags(RipJob& job) {
  const TagFields fields{job.title, job.tagTrackNumber, job.artist, job.album,
                         job.year,  job.genre,          job.comment};
  // Left empty when nothing renders (renderId3v2Tag catches id3lib's
  // throws); the worker checks the size against the library's 32 bits.
  (void)renderId3v2Tag(fields, job.id3v2Tag);
  job.tagMp3File = [fields](const std::string& windowsPath) {
    try {
      (void)writeId3v1Tag(windowsPath, fields);  // a tag that cannot be written is not an error
    } catch (...) {
    }
  };
}

bool allArtistsEqual(const std::vector<std::string>& artists) {
  for (std::size_t i = 1; i < artists.size(); ++i)
    if (!platform::equalIgnoringAsciiCase(artists[0], artists[i])) return false;
  return true;
}

}  // namespace rondel
