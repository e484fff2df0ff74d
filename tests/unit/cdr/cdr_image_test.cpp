// Disc images as drives, through the exported functions: the table of
// contents against cd-info's reading of the same image, the exact bytes,
// eject and reinsertion, and images that lie.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "support/cd_info.h"
#include "unit/cdr/cdr_loader.h"
#include "unit/cdr/image_files.h"

namespace {

using namespace cdr_test;

using testing_support::cdInfoTracks;
using TocLine = testing_support::CdInfoTrack;

// Every entry of the record that cd-info lists, field for field; lengths
// follow from the next start.
void expectTocMatches(const CdToc& toc, const std::vector<TocLine>& lines) {
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(field(toc.firstTrack), lines.front().track);
  EXPECT_EQ(field(toc.lastTrack), lines[lines.size() - 2].track);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const TocLine& line = lines[i];
    const bool leadOut = line.type == "leadout";
    const CdTocEntry& e = toc.entries[leadOut ? 0 : line.track];
    SCOPED_TRACE("track " + std::to_string(line.track));
    EXPECT_EQ(field(e.startMinute), line.m);
    EXPECT_EQ(field(e.startSecond), line.s);
    EXPECT_EQ(field(e.startFrame), line.f);
    EXPECT_EQ(field(e.startSector), line.lsn);
    EXPECT_EQ(field(e.control) & kCdControlData, line.type == "data" ? kCdControlData : 0);
    if (!leadOut) {
      EXPECT_EQ(field(e.lengthSectors), lines[i + 1].lsn - line.lsn);
    }
  }
}

class ImageDrives : public CdrLibrary {
 protected:
  std::string imageEntry(const std::string& path, const std::string& extra = "") {
    return R"({"type": "image", "path": ")" + path + "\"" + extra + "}";
  }
};

TEST_F(ImageDrives, CueImageMatchesCdInfoAndGivesExactBytes) {
  writeThreeTrackImage(dir, "disc");
  ASSERT_EQ(init(config({imageEntry("disc.cue")})), 1u) << warnings;
  EXPECT_EQ(name(0), "disc.cue") << "the file name by default";
  EXPECT_EQ(cd->TestUnitReady(0), kCdReady);

  CdToc toc;
  std::memset(&toc, 0xAB, sizeof toc);
  ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
  expectTocMatches(toc, cdInfoTracks("--cue-file", dir / "disc.cue"));
  // What cd-info does not show: lengths as minutes and frames, without the
  // lead-in, and nothing past the last track.
  EXPECT_EQ(field(toc.entries[2].lengthSecond), 1u);
  EXPECT_EQ(field(toc.entries[2].lengthFrame), 25u);
  EXPECT_EQ(field(toc.entries[4].startSector), 0u) << "entries past the last track are zero";

  std::vector<std::uint8_t> audio;
  for (std::uint32_t lba : {0u, 95u, 150u, 199u, 299u}) {
    ASSERT_EQ(read(0, lba, 1, audio), 0) << lba;
    EXPECT_EQ(audio, counterBytes(lba, 1)) << "sector " << lba;
  }
  ASSERT_EQ(read(0, 88, 24, audio), 0) << "across the pregap and a track boundary";
  EXPECT_EQ(audio, counterBytes(88, 24));
  EXPECT_NE(read(0, 299, 2, audio), 0) << "runs into the lead-out";
  EXPECT_NE(read(0, 300, 1, audio), 0);
  EXPECT_NE(read(0, 0xFFFFFFF0u, 1, audio), 0);
}

TEST_F(ImageDrives, TocFileImageMatchesCdInfo) {
  writeCounterBin(dir / "album.bin", 250);
  // Names relative to the TOC file's folder, which libcdio (and so cd-info)
  // would look for in the working directory; cd-info gets absolute ones.
  auto tocText = [](const std::string& bin) {
    return "CD_DA\n// two audio tracks over one raw file\n"
           "TRACK AUDIO\nFILE \"" + bin + "\" 0 00:01:25\n"
           "TRACK AUDIO\nFILE \"" + bin + "\" 00:01:25 00:02:00\n";
  };
  writeText(dir / "album.toc", tocText("album.bin"));
  writeText(dir / "absolute.toc", tocText((dir / "album.bin").string()));
  ASSERT_EQ(init(config({imageEntry("album.toc", R"(, "name": "Cdrdao Album")")})), 1u) << warnings;
  EXPECT_EQ(name(0), "Cdrdao Album");
  CdToc toc;
  ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
  expectTocMatches(toc, cdInfoTracks("--toc-file", dir / "absolute.toc"));
  EXPECT_EQ(field(toc.entries[2].lengthSectors), 150u);
  std::vector<std::uint8_t> audio;
  ASSERT_EQ(read(0, 240, 10, audio), 0);
  EXPECT_EQ(audio, counterBytes(240, 10));
}

TEST_F(ImageDrives, EjectTakesTheDiscOutAndLoadReadsTheFileAgain) {
  writeThreeTrackImage(dir, "disc");
  ASSERT_EQ(init(config({imageEntry("disc.cue"),
                         imageEntry("disc.cue", R"(, "name": "Empty", "disc": false)")})),
            2u)
      << warnings;
  CdToc toc;
  std::vector<std::uint8_t> audio;
  EXPECT_EQ(cd->TestUnitReady(1), kCdNoDisc) << "\"disc\": false starts empty";
  EXPECT_EQ(cd->Eject(0), 0);
  EXPECT_EQ(cd->TestUnitReady(0), kCdNoDisc);
  EXPECT_NE(cd->ReadTOC(0, &toc), 0);
  EXPECT_NE(read(0, 0, 1, audio), 0);

  // A different disc under the same name: two audio tracks of 120 sectors.
  writeCounterBin(dir / "disc.bin", 240);
  writeText(dir / "disc.cue",
            "FILE \"disc.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
            "  TRACK 02 AUDIO\n    INDEX 01 00:01:45\n");
  EXPECT_EQ(cd->Load(0), 0);
  EXPECT_EQ(cd->TestUnitReady(0), kCdReady);
  ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
  EXPECT_EQ(field(toc.lastTrack), 2u);
  EXPECT_EQ(field(toc.entries[0].startSector), 240u);
  EXPECT_EQ(field(toc.entries[2].control), 0);
  ASSERT_EQ(read(0, 239, 1, audio), 0);
  EXPECT_EQ(audio, counterBytes(239, 1));
  EXPECT_EQ(cd->Load(0), 0) << "loading a loaded drive changes nothing";
  EXPECT_EQ(cd->Load(1), 0);
  EXPECT_EQ(cd->TestUnitReady(1), kCdReady);

  // A file that went bad meanwhile: the drive stays empty and says why.
  EXPECT_EQ(cd->Eject(0), 0);
  fs::remove(dir / "disc.bin");
  ::testing::internal::CaptureStderr();
  EXPECT_NE(cd->Load(0), 0);
  const std::string why = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(why.find("disc.bin"), std::string::npos) << why;
  EXPECT_EQ(cd->TestUnitReady(0), kCdNoDisc);
}

TEST_F(ImageDrives, ShortBinReadsFailPastItsEnd) {
  // 250 whole sectors and a part of one more, for a cue sheet of 300.
  writeThreeTrackImage(dir, "short", 250, 1000);
  ASSERT_EQ(init(config({imageEntry("short.cue")})), 1u) << warnings;
  CdToc toc;
  ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
  EXPECT_EQ(field(toc.entries[0].startSector), 250u) << "the lead-out is where the data ends";
  std::vector<std::uint8_t> audio;
  ASSERT_EQ(read(0, 249, 1, audio), 0);
  EXPECT_EQ(audio, counterBytes(249, 1));
  EXPECT_NE(read(0, 250, 1, audio), 0) << "a partial sector is no sector";
  EXPECT_NE(read(0, 248, 4, audio), 0);
  EXPECT_NE(read(0, 260, 1, audio), 0);

  // Cut shorter while in the drive: every read fails rather than return
  // whatever libcdio left in the buffer.
  fs::resize_file(dir / "short.bin", 100 * kCdSectorBytes);
  EXPECT_NE(read(0, 150, 1, audio), 0);
  EXPECT_NE(read(0, 0, 1, audio), 0);
}

TEST_F(ImageDrives, ImagesThatMakeNoDiscAreSkippedWithTheReason) {
  writeThreeTrackImage(dir, "good");
  auto cue = [&](const std::string& stem, const std::string& body) {
    writeCounterBin(dir / (stem + ".bin"), 300);
    writeText(dir / (stem + ".cue"), "FILE \"" + stem + ".bin\" BINARY\n" + body);
  };
  cue("dataonly", "  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n");
  cue("backwards", "  TRACK 01 AUDIO\n    INDEX 01 00:03:00\n  TRACK 02 AUDIO\n    INDEX 01 00:01:00\n");
  cue("beyond", "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    INDEX 01 99:59:74\n");
  std::string many;
  for (int t = 1; t <= 100; ++t) {
    char line[64];
    std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 00:%02d:00\n", t, t % 60);
    many += line;
  }
  cue("hundred", many);
  cue("garbage", std::string("\x01\xff TRACK\n INDEX 01 ::\n", 22));
  writeText(dir / "nobin.cue", "FILE \"nobin.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n");
  ASSERT_EQ(::mkfifo((dir / "fifo.cue").c_str(), 0600), 0);

  ASSERT_EQ(init(config({imageEntry("dataonly.cue"), imageEntry("backwards.cue"),
                         imageEntry("beyond.cue"), imageEntry("hundred.cue"),
                         imageEntry("garbage.cue"), imageEntry("nobin.cue"),
                         imageEntry("fifo.cue"), imageEntry("absent.cue"), imageEntry("disc.iso"),
                         imageEntry(""), imageEntry((dir / "good.cue").string()),
                         R"({"type": "simulated", "name": "Sim", "tracks": [{"sectors": 5}]})"})),
            2u)
      << warnings;
  EXPECT_EQ(name(0), "good.cue") << "an absolute path works too";
  EXPECT_EQ(name(1), "Sim");
  EXPECT_EQ(linesContaining(" skipped: "), 10u) << warnings;
  EXPECT_NE(warnings.find("drive 1 skipped: " + (dir / "dataonly.cue").string() + ": no audio tracks"),
            std::string::npos)
      << warnings;
  EXPECT_NE(warnings.find("drive 3 skipped: " + (dir / "beyond.cue").string()), std::string::npos);
  EXPECT_NE(warnings.find("nobin.bin"), std::string::npos);
  EXPECT_NE(warnings.find("fifo.cue is not a regular file"), std::string::npos);
  EXPECT_NE(warnings.find("\"format\" must be"), std::string::npos);
  EXPECT_EQ(warnings.find("WARN"), std::string::npos) << "libcdio's own warnings stay quiet";
}

// Window thread (state and table of contents), rip worker (locks and
// buffers) and two audio readers at once, on an image and a simulated
// drive; meant for TSan too.
TEST_F(ImageDrives, ThreeThreadsOnImageAndSimulatedDrives) {
  writeThreeTrackImage(dir, "disc");
  ASSERT_EQ(init(config({imageEntry("disc.cue"),
                         R"({"type": "simulated", "name": "Sim", "tracks": [{"sectors": 300}],
                             "audio": {"generator": "counter"}})"})),
            2u);
  constexpr int kRounds = 200;
  std::atomic<int> failures{0};
  std::thread window([&] {
    CdToc toc;
    for (int i = 0; i < kRounds; ++i) {
      const std::uint32_t d = i % 2;
      if (cd->TestUnitReady(d) != 0 || cd->ReadTOC(d, &toc) != 0 ||
          toc.entries[0].startSector != 300)
        ++failures;
    }
  });
  std::thread worker([&] {
    for (int i = 0; i < kRounds; ++i) {
      const std::uint32_t d = i % 2;
      void* buffer = nullptr;
      CdBufferHandle handle = nullptr;
      if (cd->Lock(d) != 0 || cd->AllocateBuffer(d, 12 * kCdSectorBytes, &buffer, &handle) != 0 ||
          cd->FreeBuffer(handle) != 0 || cd->Unlock(d) != 0 || cd->PrepareCDDA(d) != 0)
        ++failures;
    }
  });
  // Two readers with buffers of their own, on the same drive or on both.
  auto reader = [&](std::uint32_t first) {
    void* buffer = nullptr;
    CdBufferHandle handle = nullptr;
    if (cd->AllocateBuffer(first, 12 * kCdSectorBytes, &buffer, &handle) != 0) {
      ++failures;
      return;
    }
    for (int i = 0; i < kRounds; ++i) {
      const std::uint32_t d = (first + i / 3) % 2, lba = (i * 29) % 288;
      if (cd->ReadCDDA(d, lba, 12, buffer, 1) != 0 ||
          std::memcmp(buffer, counterBytes(lba, 12).data(), 12 * kCdSectorBytes) != 0)
        ++failures;
    }
    if (cd->FreeBuffer(handle) != 0) ++failures;
  };
  std::thread reader0(reader, 0u), reader1(reader, 1u);
  window.join();
  worker.join();
  reader0.join();
  reader1.join();
  EXPECT_EQ(failures, 0);
}

}  // namespace
