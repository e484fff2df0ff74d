// Discs made by mkdisc, played by cdr.dll's image drives: the table of
// contents and the audio the component gets are the ones mkdisc laid out,
// and the host lists made images beside a simulated drive in order.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/run_command.h"
#include "support/temp_dir.h"
#include "unit/cdr/cdr_loader.h"

namespace {

using testing_support::binDir;
using testing_support::runCommand;

struct MadeDisc {
  nlohmann::json layout;  // what mkdisc --json reports
  std::string bin;        // the image's bytes
};

MadeDisc makeDisc(const std::string& description, const std::string& outDir) {
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  const auto r = runCommand({binDir() + "/mkdisc",
                             std::string(source ? source : "") + "/tests/data/discs/" + description,
                             "--out", outDir, "--json"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  MadeDisc disc;
  disc.layout = nlohmann::json::parse(r.out, nullptr, false);
  if (!disc.layout.is_discarded()) disc.bin = testing_support::readFile(disc.layout["bin"].get<std::string>());
  return disc;
}

class MadeDiscs : public cdr_test::CdrLibrary {};

TEST_F(MadeDiscs, ImageDrivesPlayWhatWasMade) {
  const MadeDisc demo = makeDisc("demo.json", (dir / "demo").string());
  const MadeDisc dataFirst = makeDisc("data-first.json", (dir / "first").string());
  ASSERT_FALSE(demo.layout.is_discarded());
  ASSERT_FALSE(dataFirst.layout.is_discarded());
  const std::string config = R"({"drives": [
      {"type": "image", "path": ")" + demo.layout["cue"].get<std::string>() + R"(", "name": "Demo"},
      {"type": "simulated", "name": "SIM Drive", "tracks": [{"sectors": 13230}]},
      {"type": "image", "path": ")" + dataFirst.layout["cue"].get<std::string>() + R"("}]})";
  writeFile("cdr.json", config);

  // The host lists them in configuration order.
  testing_support::ScopedEnv env("CDR_CONFIG", (dir / "cdr.json").string());
  const auto listed = runCommand({binDir() + "/qomhost", "--config-dir",
                                  (dir / "config").string(), "drives"});
  ASSERT_EQ(listed.exitCode, 0) << listed.err;
  EXPECT_EQ(listed.out, "0\tDemo\n1\tSIM Drive\n2\tdata-first.cue\n") << listed.err;

  ASSERT_EQ(initAsIs(), 3u) << warnings;
  const std::pair<std::uint32_t, const MadeDisc*> images[] = {{0, &demo}, {2, &dataFirst}};
  for (const auto& [device, disc] : images) {
    SCOPED_TRACE(disc->layout["cue"].get<std::string>());
    ASSERT_EQ(cd->TestUnitReady(device), kCdReady);
    CdToc toc{};
    ASSERT_EQ(cd->ReadTOC(device, &toc), 0);
    const auto& tracks = disc->layout["tracks"];
    ASSERT_EQ(cdr_test::field(toc.firstTrack), 1u);
    ASSERT_EQ(cdr_test::field(toc.lastTrack), tracks.size());
    EXPECT_EQ(cdr_test::field(toc.entries[0].startSector), disc->layout["leadout"].get<std::uint32_t>());
    for (const auto& t : tracks) {
      const CdTocEntry& e = toc.entries[t["number"].get<int>()];
      const std::uint32_t start = t["start"], sectors = t["sectors"];
      const bool data = t["type"] == "data";
      EXPECT_EQ(cdr_test::field(e.startSector), start);
      EXPECT_EQ(cdr_test::field(e.lengthSectors), sectors);
      EXPECT_EQ((e.control & kCdControlData) != 0, data);
      // Minutes and seconds count the 2-second lead-in.
      EXPECT_EQ(cdr_test::field(e.startMinute), (start + 150) / 75 / 60);
      EXPECT_EQ(cdr_test::field(e.startSecond), (start + 150) / 75 % 60);
      if (data) continue;
      // First, middle and last sector of each audio track, byte for byte.
      for (std::uint32_t lba : {start, start + sectors / 2, start + sectors - 1}) {
        std::vector<std::uint8_t> got;
        ASSERT_EQ(read(device, lba, 1, got), 0) << "sector " << lba;
        ASSERT_LE((lba + 1) * kCdSectorBytes, disc->bin.size());
        EXPECT_EQ(0, std::memcmp(got.data(), disc->bin.data() + lba * kCdSectorBytes, kCdSectorBytes))
            << "sector " << lba;
      }
    }
    // Out and back in: no disc, then the same disc again.
    EXPECT_EQ(cd->Eject(device), 0);
    EXPECT_EQ(cd->TestUnitReady(device), kCdNoDisc);
    EXPECT_EQ(cd->Load(device), 0);
    EXPECT_EQ(cd->TestUnitReady(device), kCdReady);
    CdToc again{};
    ASSERT_EQ(cd->ReadTOC(device, &again), 0);
    EXPECT_EQ(0, std::memcmp(&toc, &again, sizeof toc));
  }
}

}  // namespace
