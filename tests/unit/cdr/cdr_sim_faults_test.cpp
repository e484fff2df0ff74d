// The simulated drive's fault drills, through the exported functions: read
// failures, jitter, a disc pulled mid-rip, readiness over time, slow reads.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <set>
#include <thread>

#include "unit/cdr/cdr_loader.h"

namespace {

using namespace cdr_test;

// Where a counter-pattern read really started, in bytes from lba's start.
std::int64_t shiftOf(const std::vector<std::uint8_t>& audio, std::uint32_t lba) {
  return (std::int64_t{le32(audio.data())} - std::int64_t{lba} * 588) * 4;
}

std::string simDrive(const std::string& name, const std::string& extra) {
  return R"({"type": "simulated", "name": ")" + name +
         R"(", "tracks": [{"sectors": 200}], "audio": {"generator": "counter"})" + extra + "}";
}

TEST_F(CdrLibrary, ReadFailuresAreTransientOrPermanent) {
  ASSERT_EQ(init(config({simDrive(
                "F", R"(, "read_failures": [{"sector": 50, "attempts": 2}, {"sector": 70}])")})),
            1u)
      << warnings;
  std::vector<std::uint8_t> audio;
  EXPECT_EQ(read(0, 0, 12, audio), 0) << "other sectors read";
  EXPECT_NE(read(0, 48, 12, audio), 0);
  EXPECT_NE(read(0, 50, 1, audio), 0);
  ASSERT_EQ(read(0, 45, 12, audio), 0) << "two attempts failed, the third reads";
  EXPECT_EQ(audio, counterBytes(45, 12));
  for (int attempt = 0; attempt < 5; ++attempt) EXPECT_NE(read(0, 60, 12, audio), 0);
  EXPECT_EQ(read(0, 71, 12, audio), 0);
  EXPECT_EQ(read(0, 58, 12, audio), 0) << "up to the bad sector, not including it";

  EXPECT_EQ(init(config({simDrive("Bad", R"(, "read_failures": [{"sector": 5, "attempts": 0}])")})), 0u);
  EXPECT_NE(warnings.find("\"attempts\" must be"), std::string::npos) << warnings;
}

TEST_F(CdrLibrary, JitterShiftsTheAudioButStaysOnTheDisc) {
  ASSERT_EQ(init(config({simDrive("Late", R"(, "jitter": {"bytes": 1000})"),
                         simDrive("Early", R"(, "jitter": {"bytes": -7056})"),
                         simDrive("Random", R"(, "jitter": {"max_bytes": 600, "seed": 7})")})),
            3u)
      << warnings;
  std::vector<std::uint8_t> audio;
  ASSERT_EQ(read(0, 100, 2, audio), 0);
  EXPECT_EQ(shiftOf(audio, 100), 1000);
  // The bytes are the disc's own bytes from that position, all of them.
  const auto longer = counterBytes(100, 3);
  EXPECT_TRUE(std::equal(audio.begin(), audio.end(), longer.begin() + 1000));
  ASSERT_EQ(read(1, 100, 2, audio), 0);
  EXPECT_EQ(shiftOf(audio, 100), -7056);
  ASSERT_EQ(read(1, 1, 1, audio), 0) << "near the start";
  EXPECT_EQ(audio, counterBytes(0, 1)) << "the shift stops at the disc's first byte";
  ASSERT_EQ(read(0, 199, 1, audio), 0) << "near the end";
  EXPECT_EQ(audio, counterBytes(199, 1)) << "the shift stops at the lead-out";

  std::vector<std::int64_t> shifts;
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(read(2, 50, 4, audio), 0);
    shifts.push_back(shiftOf(audio, 50));
    EXPECT_LE(std::llabs(shifts.back()), 600);
    EXPECT_EQ(shifts.back() % 4, 0) << "whole stereo frames";
  }
  EXPECT_GT(std::set<std::int64_t>(shifts.begin(), shifts.end()).size(), 5u);

  // The same seed replays the same shifts.
  ASSERT_EQ(init(config({simDrive("Random", R"(, "jitter": {"max_bytes": 600, "seed": 7})")})),
            1u);
  for (std::int64_t expected : shifts) {
    ASSERT_EQ(read(0, 50, 4, audio), 0);
    EXPECT_EQ(shiftOf(audio, 50), expected);
  }

  for (const char* bad : {R"({"bytes": 7057})", R"({"bytes": 18446744073709551615})",
                          R"({"bytes": 1, "max_bytes": 2})", R"({"max_bytes": -1})", "[]"})
    EXPECT_EQ(init(config({simDrive("Bad", std::string(", \"jitter\": ") + bad)})), 0u)
        << bad;
}

TEST_F(CdrLibrary, DiscPulledMidRipIsGoneUntilLoaded) {
  ASSERT_EQ(init(config({simDrive("Pull", R"(, "eject_after_reads": 3)")})), 1u);
  std::vector<std::uint8_t> audio;
  EXPECT_EQ(read(0, 0, 12, audio), 0);
  EXPECT_EQ(read(0, 12, 12, audio), 0);
  EXPECT_NE(read(0, 24, 12, audio), 0) << "the third read finds no disc";
  EXPECT_NE(read(0, 24, 12, audio), 0);
  EXPECT_EQ(cd->TestUnitReady(0), kCdNoDisc);
  CdToc toc;
  EXPECT_NE(cd->ReadTOC(0, &toc), 0);
  EXPECT_EQ(cd->Load(0), 0);
  EXPECT_EQ(cd->TestUnitReady(0), kCdReady);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(read(0, 24, 12, audio), 0) << "the drill happens once";
}

TEST_F(CdrLibrary, ReadinessOverTimeAndSpeedLimit) {
  ASSERT_EQ(init(config(
                {simDrive("Hour", R"(, "readiness_ms": [{"answer": 7, "ms": 3600000}, {"answer": 0}])"),
                 simDrive("Quick", R"(, "readiness_ms": [{"answer": 12, "ms": 30}, {"answer": 0}])"),
                 simDrive("Fast", R"(, "speed": 100)")})),
            3u)
      << warnings;
  EXPECT_EQ(cd->TestUnitReady(0), kCdNoDisc);
  CdToc toc;
  EXPECT_NE(cd->ReadTOC(0, &toc), 0);

  // Becomes ready on its own: wait for it, with a generous bound.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::int32_t answer = -1;
  while ((answer = cd->TestUnitReady(1)) != kCdReady && std::chrono::steady_clock::now() < deadline) {
    EXPECT_EQ(answer, kCdBecomingReady);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(answer, kCdReady);
  EXPECT_EQ(cd->ReadTOC(1, &toc), 0);

  std::vector<std::uint8_t> audio;
  ASSERT_EQ(read(2, 10, 30, audio), 0) << "slow reads still read";
  EXPECT_EQ(audio, counterBytes(10, 30));

  EXPECT_EQ(init(config({simDrive("Both", R"(, "readiness": [0], "readiness_ms": [{"answer": 0}])"),
                         simDrive("Slow", R"(, "speed": 0)")})),
            0u);
  EXPECT_EQ(linesContaining(" skipped: "), 2u) << warnings;
}

}  // namespace
