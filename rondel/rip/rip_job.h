#pragma once
// One rip job: the rip of one track, copied by value into the rip session's
// queue and from there to its worker (every text is the job's own copy, so
// later edits in the window never reach a queued job). Jobs are built above
// this folder (rondel/output/job_builder.h), tags included, so the worker
// needs nothing but the job.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "rondel/rip/output_limits.h"
#include "sdk/cdr_api.h"

namespace rondel {

struct RipJob {
  std::uint32_t trackNumber = 0;
  std::uint32_t startSector = 0;
  std::uint32_t sectorCount = 0;
  bool resync = false;
  std::uint32_t encoderIndex = 0;
  std::uint32_t encoderSetting = 0;
  std::uint32_t deviceIndex = 0;
  std::string outputPath;  // Windows form, at most kMaxJobPath characters, no extension
  // The folder outputPath must lie under (Windows form, ending in "\"):
  // what the user's own folder and pattern name before the first field
  // value. The worker refuses a path that leaves it, before it creates
  // anything.
  std::string outputFolder;
  // The tag texts, for an encoder that takes them one by one.
  std::string title;
  std::uint32_t tagTrackNumber = 0;
  std::string artist, album, year, genre, comment;
  // The ID3v2 tag rendered from those texts, for an encoder that places a
  // tag in its file; empty when none could be rendered.
  std::vector<std::uint8_t> id3v2Tag;
  // Run on the worker thread with the finished file's Windows-form name when
  // that name ends in ".mp3": writes the ID3v1 tag. Empty: no such tag. It
  // holds copies of the texts only, so it may run after the window is gone.
  std::function<void(const std::string& windowsPath)> tagMp3File;
  // What identifies the job's disc: the table of contents the job was built
  // from. Before the job reads, the worker checks that the drive still
  // holds this disc, so a disc swapped while jobs wait is never read at
  // the old ranges.
  CdToc discToc{};
  // The first sector a read for this track may not reach: the end of the
  // last audio track in the unbroken run of audio tracks that starts with
  // this one (a data track or the lead-out follows). start + count when the
  // table of contents says nothing better.
  std::uint32_t readableEndSector = 0;
  // The track's place among the disc's audio tracks, for its checksums
  // (the first and the last leave out five sectors) and its verdict.
  std::uint32_t audioIndex = 0;
  bool firstAudioTrack = false;
  bool lastAudioTrack = false;
};

}  // namespace rondel
