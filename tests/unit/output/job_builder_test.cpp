// Building rip jobs from rows: the fields each job copies, the folder join,
// the format lookup and the Copy All pattern choice.
#include <gtest/gtest.h>

#include <cstring>

#include "rondel/output/job_builder.h"

namespace {

using rondel::RipJob;

CdToc tocWithTrack(std::uint32_t track, std::uint32_t start, std::uint32_t length) {
  CdToc toc{};
  toc.firstTrack = 1;
  toc.lastTrack = track;
  toc.entries[track].startSector = start;
  toc.entries[track].lengthSectors = length;
  return toc;
}

TEST(RipJobBuilding, CopiesRowFieldsSettingsAndTableOfContents) {
  const CdToc toc = tocWithTrack(3, 1234, 100);
  rondel::RipJobSource row{3, "Some/Band", "Opening", "First Album", "1999", "Rock"};
  rondel::RipJobSettings settings{true, "2: ogg vorbis [.OGG] - 112 KBIT/S", 1};
  const RipJob job = rondel::buildRipJob(row, settings, toc, "C:\\My Audio Files",
                                         "<artist> - <album>\\<number>. <track>");
  EXPECT_EQ(job.trackNumber, 3u);
  EXPECT_EQ(job.tagTrackNumber, 3u);
  EXPECT_EQ(job.startSector, 1234u);
  EXPECT_EQ(job.sectorCount, 100u);
  EXPECT_TRUE(job.resync);
  EXPECT_EQ(job.encoderIndex, 1u);  // the format label matches without regard to case
  EXPECT_EQ(job.encoderSetting, 6u);
  EXPECT_EQ(job.deviceIndex, 1u);
  EXPECT_EQ(job.outputPath, "C:\\My Audio Files\\Some-Band - First Album\\03. Opening");
  EXPECT_EQ(job.outputFolder, "C:\\My Audio Files\\");
  // Tags carry the texts as typed, not as cleaned for the path.
  EXPECT_EQ(job.artist, "Some/Band");
  EXPECT_EQ(job.title, "Opening");
  EXPECT_EQ(job.album, "First Album");
  EXPECT_EQ(job.year, "1999");
  EXPECT_EQ(job.genre, "Rock");
  EXPECT_EQ(job.comment, std::string("Encoded with Rondel for Tavlo3 (https://rondel.example.org)"));

  // A format that names no row still gives a job, with encoder 0, setting 0.
  settings.format = "3: FLAC";
  const RipJob unknown = rondel::buildRipJob(row, settings, toc, "C:", "<artist> - <track>");
  EXPECT_EQ(unknown.encoderIndex, 0u);
  EXPECT_EQ(unknown.encoderSetting, 0u);
  // A folder of two characters is dropped: the path starts at the root.
  EXPECT_EQ(unknown.outputPath, "\\Some-Band - Opening");
  EXPECT_EQ(unknown.outputFolder, "\\");
  // A network share is refused rather than read as the current drive.
  EXPECT_EQ(rondel::buildRipJob(row, settings, toc, "\\\\server\\music", "x").outputPath, "");
  EXPECT_EQ(rondel::buildRipJob(row, settings, toc, "//server/music", "x").outputPath, "");
  // A track number no table of contents lists gives an empty range.
  row.trackNumber = 100;
  EXPECT_EQ(rondel::buildRipJob(row, settings, toc, "C:\\", "x").sectorCount, 0u);
  EXPECT_EQ(rondel::buildRipJob(row, settings, toc, "C:\\", "x").readableEndSector, 0u);
}

TEST(RipJobBuilding, CarriesItsDiscAndWhereReadingMustStop) {
  // Tracks 1-2 audio, 3 data, 4 audio (the lead-out follows).
  CdToc toc = tocWithTrack(4, 60000, 500);
  const std::uint32_t layout[][3] = {{1, 0, 1000}, {2, 1000, 2000}, {3, 3000, 50000}};
  for (const auto& t : layout) {
    toc.entries[t[0]].startSector = t[1];
    toc.entries[t[0]].lengthSectors = t[2];
  }
  toc.entries[3].control = 0x04;
  toc.entries[0].startSector = 60500;
  const auto jobOf = [&](std::uint32_t track) {
    return rondel::buildRipJob({track, "A", "T", "B", "", ""}, {}, toc, "C:\\", "x");
  };
  EXPECT_EQ(jobOf(1).readableEndSector, 3000u);  // the run of audio tracks 1-2
  EXPECT_EQ(jobOf(2).readableEndSector, 3000u);
  EXPECT_EQ(jobOf(4).readableEndSector, 60500u);
  const RipJob job = jobOf(1);
  EXPECT_EQ(std::memcmp(&job.discToc, &toc, sizeof toc), 0);
}

TEST(RipJobBuilding, CopyAllPatternFollowsArtistEquality) {
  EXPECT_TRUE(rondel::allArtistsEqual({"Unknown Artist", "unknown ARTIST", "UNKNOWN artist"}));
  EXPECT_TRUE(rondel::allArtistsEqual({"One"}));
  EXPECT_TRUE(rondel::allArtistsEqual({}));
  EXPECT_FALSE(rondel::allArtistsEqual({"A", "A", "B", "A"}));
  EXPECT_FALSE(rondel::allArtistsEqual({"Abc", "Abc "}));
  // Only ASCII letters fold: accented capitals are other letters.
  EXPECT_FALSE(rondel::allArtistsEqual({"\xC9t\xE9", "\xE9t\xE9"}));
  EXPECT_EQ(rondel::joinFolderAndPattern("C:\\Music\\", "<track>"), "C:\\Music\\\\<track>");
  EXPECT_EQ(rondel::joinFolderAndPattern("ab", "<track>"), "\\<track>");
}

}  // namespace
