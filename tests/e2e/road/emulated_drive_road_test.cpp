// The road from a real drive, emulated (tools/emulated-drive): no CDR_CONFIG,
// so cdr.dll finds /dev/sr0 through libcdio's device listing, and the real
// qomhost and rondel.qom rip from it. A private program folder puts the
// recording encoder in lame.dll's place, so each file holds exactly the
// bytes the component was handed.
#include <gtest/gtest.h>

#include <discid/discid.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <nlohmann/json.hpp>

#include "e2e/road/private_host.h"
#include "support/preload.h"
#include "support/run_command.h"
#include "support/temp_dir.h"
#include "unit/cdr/image_files.h"

namespace fs = std::filesystem;
using nlohmann::json;
using testing_support::runCommand;

namespace {

constexpr std::size_t kSector = 2352;

class EmulatedRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    host = road_test::privateQomhost(dir.file("bin"));

    cdr_test::writeThreeTrackImage(dir.path(), "disc");  // counter audio: 0-99, 100-199, data
    // A fourth track makes a track after the faulty one: the image's three
    // tracks again, with audio where the data track was.
    cdr_test::writeText(dir.file("disc.cue"), "FILE \"disc.bin\" BINARY\n"
                                              "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                              "  TRACK 02 AUDIO\n    INDEX 01 00:01:25\n"
                                              "  TRACK 03 AUDIO\n    INDEX 01 00:02:50\n");
    bin = testing_support::readFile(dir.file("disc.bin"));
    set("Use Freedb", "0");
  }

  testing_support::CommandResult run(const json& script, std::vector<std::string> args) {
    json s = {{"path", "/dev/sr0"}, {"cue", dir.file("disc.cue")}};
    if (script.is_object()) s.update(script);
    testing_support::ScopedEnv drive("EMULATED_DRIVE", dir.write("drive.json", s.dump()));
    testing_support::ScopedEnv preload("LD_PRELOAD", emulated_drive::preloadValue());
    testing_support::ScopedEnv noConfig("CDR_CONFIG", "");
    args.insert(args.begin(), {host, "--config-dir", dir.file("config")});
    return runCommand(args);
  }
  void set(const std::string& key, const std::string& value) {
    ASSERT_EQ(run({}, {"config", "set", key, value}).exitCode, 0);
  }
  // A file's audio: the component appends an ID3v1 tag (128 bytes) to
  // what it takes for an MP3 file.
  static std::string audioOf(const std::string& file) {
    if (file.size() >= 128 && file.compare(file.size() - 128, 3, "TAG") == 0)
      return file.substr(0, file.size() - 128);
    return file;
  }
  std::string ripped(int track) {
    return audioOf(testing_support::readFile(dir.file("rips/Unknown Artist - Unknown Album/0" +
                                              std::to_string(track) + ". Track 0" +
                                              std::to_string(track) + ".mp3")));
  }
  // Track 2 ripped alone from a drive scripted by `script`: its audio.
  std::string ripTrack2(const json& script) {
    fs::remove_all(dir.file("rips"));
    const auto r = run(script, {"rip", "--tracks", "2", "--output", dir.file("rips")});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    return audioOf(testing_support::readFile(dir.file("rips/Unknown Artist - Track 02.mp3")));
  }
  std::string image(std::uint32_t lba, std::uint32_t sectors) {
    return bin.substr(lba * kSector, sectors * kSector);
  }

  testing_support::TempDir dir;
  std::string host, bin;
};

TEST_F(EmulatedRoad, DiscAndRipFromTheFoundDriveAreBitExactAroundAMediumError) {
  const auto disc = run({}, {"disc", "--json", "--timeout", "20"});
  ASSERT_EQ(disc.exitCode, 0) << disc.err;
  const auto shown = json::parse(disc.out);
  EXPECT_EQ(shown["drive"], "RONDEL EMULATED CD (/dev/sr0)");
  ASSERT_EQ(shown["tracks"].size(), 3u);

  // Sector 150 of track 2 cannot be read, however often it is asked.
  const auto r = run({{"medium_errors", json::array({{{"sector", 150}}})}},
                     {"rip", "--all", "--output", dir.file("rips"), "--timeout", "20"});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("Drive:  RONDEL EMULATED CD (/dev/sr0)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" 2  Error: ReadCDDA() failed!"), std::string::npos) << r.out;
  EXPECT_TRUE(ripped(1) == image(0, 100)) << "track 1 is the image's audio";
  EXPECT_TRUE(ripped(3) == image(200, 100)) << "track 3 is still copied, exactly";
}

// A drive that misses the sector by up to 300 frames on every read: with
// "Resync" the file is one unbroken run of the disc; without it the
// seams show.
TEST_F(EmulatedRoad, ResyncMendsAJitteryDrive) {
  const json jitter = {{"jitter", {{"max_bytes", 1200}, {"seed", 5}}}};
  const auto unbroken = [](const std::string& audio) {
    if (audio.size() < 8) return false;
    std::uint32_t first = 0;
    std::memcpy(&first, audio.data(), 4);
    std::size_t end = audio.size() / 4;
    const auto frame = [&](std::size_t f) {
      std::uint32_t v;
      std::memcpy(&v, audio.data() + 4 * f, 4);
      return v;
    };
    while (end > 0 && frame(end - 1) == 0) --end;  // a tail no pass read
    for (std::size_t f = 0; f < end; ++f)
      if (frame(f) != first + f) return false;
    return true;
  };
  const std::string plain = ripTrack2(jitter);
  EXPECT_EQ(plain.size(), 100 * kSector);
  EXPECT_FALSE(unbroken(plain));

  set("Resync", "1");
  const std::string mended = ripTrack2(jitter);
  EXPECT_EQ(mended.size(), 100 * kSector);
  EXPECT_TRUE(unbroken(mended));
}

// A drive that delivers every sample 48 samples late: its rip is shifted
// by exactly that much until the offsets file names its model.
TEST_F(EmulatedRoad, TheDrivesReadOffsetMakesTheRipExact) {
  const json late = {{"offset", 48}};
  EXPECT_TRUE(ripTrack2(late) == bin.substr(100 * kSector - 48 * 4, 100 * kSector));
  testing_support::ScopedEnv offsets(
      "CDR_OFFSETS", dir.write("offsets.json", R"({"RONDEL EMULATED CD": 48})"));
  EXPECT_TRUE(ripTrack2(late) == image(100, 100));
}

// The disc pulled out on the fifth read: that track ends in an error, the
// command says so, and nothing waits for ever.
TEST_F(EmulatedRoad, ADiscPulledMidTrackEndsTheRip) {
  const auto r = run({{"pull_after_reads", 5}}, {"rip", "--all", "--output", dir.file("rips")});
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find("Error: ReadCDDA() failed!"), std::string::npos) << r.out;
}

// Three layouts real discs have, each read through the emulated drive and
// as an image drive: pre-gaps before tracks 2 and 3 (silence, and audio),
// which belong to the track before; a hidden track in track 1's pre-gap,
// which is no part of track 1; and an Enhanced CD, whose audio session ends
// 11400 sectors before the data track of its second session. Both drives
// show the starts and the disc id libdiscid computes for the layout, and a
// rip of each track is exactly its sectors of the image.
struct Layout {
  const char* name;
  const char* tracks;  // mkdisc's description of the tracks
  std::vector<std::uint32_t> starts, sectors;  // every track; sectors of audio tracks
  std::uint32_t leadOut;
};

void PrintTo(const Layout& layout, std::ostream* out) { *out << layout.name; }

class EmulatedLayout : public EmulatedRoad, public ::testing::WithParamInterface<Layout> {};

INSTANTIATE_TEST_SUITE_P(
    Discs, EmulatedLayout,
    ::testing::Values(
        Layout{"pregaps",
               R"([{"kind": "noise", "sectors": 40},
                   {"kind": "noise", "sectors": 30, "pregap": {"kind": "silence", "sectors": 20}},
                   {"kind": "tone", "frequency": 700, "sectors": 25,
                    "pregap": {"kind": "noise", "sectors": 15}}])",
               {0, 60, 105}, {60, 45, 25}, 130},
        Layout{"hidden",
               R"([{"kind": "noise", "sectors": 30,
                    "pregap": {"kind": "tone", "frequency": 500, "sectors": 45}},
                   {"kind": "noise", "sectors": 20}])",
               {45, 75}, {30, 20}, 95},
        Layout{"enhanced",
               R"([{"kind": "noise", "sectors": 30}, {"kind": "noise", "sectors": 20},
                   {"kind": "data", "sectors": 40, "session": 2}])",
               {0, 30, 11450}, {30, 20}, 11490}),
    [](const ::testing::TestParamInfo<Layout>& info) { return std::string(info.param.name); });

TEST_P(EmulatedLayout, ReadsTheSameFromDriveAndImage) {
  const Layout& layout = GetParam();
  set("Use Freedb", "1");  // the disc id and the query are shown only for a lookup
  set("Freedb Server", "127.0.0.1:1");  // which is refused at once
  const fs::path made = dir.file(layout.name);
  const std::string description = dir.write(
      std::string(layout.name) + ".json", std::string(R"({"seed": 7, "tracks": )") + layout.tracks + "}");
  const auto mk = runCommand({testing_support::binDir() + "/mkdisc", description, "--out",
                              made.string(), "--name", "disc", "--json"});
  ASSERT_EQ(mk.exitCode, 0) << mk.err;
  const json disc = json::parse(mk.out);
  const std::size_t count = layout.starts.size();
  ASSERT_EQ(disc["tracks"].size(), count);
  EXPECT_EQ(disc["leadout"], layout.leadOut);
  for (std::size_t t = 0; t < count; ++t) {
    EXPECT_EQ(disc["tracks"][t]["start"], layout.starts[t]) << t + 1;
    if (t < layout.sectors.size()) {
      EXPECT_EQ(disc["tracks"][t]["sectors"], layout.sectors[t]) << t + 1;
    }
  }
  const std::string image = testing_support::readFile((made / "disc.bin").string());
  ASSERT_EQ(image.size(), std::size_t{layout.leadOut} * kSector);

  // The disc id and the query as a CDDB client computes them: every track
  // of the table of contents, the data track too, and the disc's lead-out.
  std::unique_ptr<DiscId, decltype(&discid_free)> id(discid_new(), &discid_free);
  int offsets[100] = {static_cast<int>(layout.leadOut + 150)};
  std::string query = std::to_string(count);
  for (std::size_t t = 0; t < count; ++t) {
    offsets[t + 1] = static_cast<int>(layout.starts[t] + 150);
    query += "+" + std::to_string(offsets[t + 1]);
  }
  query += "+" + std::to_string((layout.leadOut + 150) / 75) + "&";
  ASSERT_EQ(discid_put(id.get(), 1, static_cast<int>(count), offsets), 1);
  const std::string discId = discid_get_freedb_id(id.get());
  EXPECT_EQ(disc["discid"], discId);

  const json imageDrive = {
      {"drives", json::array({{{"type", "image"}, {"path", (made / "disc.cue").string()}}})}};
  for (const bool fromImage : {false, true}) {
    SCOPED_TRACE(fromImage ? "image" : "emulated drive");
    const json script = {{"cue", (made / "disc.cue").string()}};
    std::optional<testing_support::ScopedEnv> config;
    // An image drive instead of the device: the same disc through libcdio's image driver.
    if (fromImage) config.emplace("CDR_CONFIG", dir.write("cdr.json", imageDrive.dump()));
    const auto shown = fromImage ? runCommand({host, "--config-dir", dir.file("config"), "disc",
                                               "--json", "--timeout", "20"})
                                 : run(script, {"disc", "--json", "--timeout", "20"});
    ASSERT_EQ(shown.exitCode, 0) << shown.err;
    const json listed = json::parse(shown.out);
    EXPECT_EQ(listed["tracks"].size(), layout.sectors.size());
    EXPECT_EQ(listed["discId"], discId);
    EXPECT_NE(listed["queryUrl"].get<std::string>().find("+" + discId + "+" + query),
              std::string::npos)
        << listed["queryUrl"];

    fs::remove_all(dir.file("rips"));
    const std::vector<std::string> rip = {"rip", "--all", "--output", dir.file("rips"),
                                          "--timeout", "20"};
    std::vector<std::string> args = {host, "--config-dir", dir.file("config")};
    args.insert(args.end(), rip.begin(), rip.end());
    const auto copy = fromImage ? runCommand(args) : run(script, rip);
    ASSERT_EQ(copy.exitCode, 0) << copy.out << copy.err;
    for (std::size_t t = 0; t < layout.sectors.size(); ++t) {
      const std::string expected = image.substr(std::size_t{layout.starts[t]} * kSector,
                                                std::size_t{layout.sectors[t]} * kSector);
      EXPECT_TRUE(ripped(static_cast<int>(t + 1)) == expected) << "track " << t + 1;
    }
  }
}

}  // namespace
