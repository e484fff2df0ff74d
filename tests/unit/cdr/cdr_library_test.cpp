// The drive library's configuration, its simulated drives, its buffers and
// its threads, through the exported functions.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "unit/cdr/cdr_loader.h"

namespace {

using namespace cdr_test;

TEST_F(CdrLibrary, ConfigurationProblemsCostOnlyTheBadEntries) {
  // Without a configuration the library offers the real drives it finds
  // (none on a machine without one), silently.
  unsetenv("CDR_CONFIG");
  const std::uint32_t found = initAsIs();
  EXPECT_EQ(warnings, "") << "no configuration is not worth a warning";

  setenv("CDR_CONFIG", (dir / "absent.json").c_str(), 1);
  EXPECT_EQ(initAsIs(), 0u) << "the first mode offers what the configuration names";
  EXPECT_NE(warnings.find("absent.json: cannot be opened"), std::string::npos) << warnings;
  EXPECT_EQ(initAsIs(kCdAccessDevicesAndImages), found)
      << "the fallback mode does not let a broken configuration hide the real drives";
  EXPECT_NE(warnings.find("drive(s) found instead"), std::string::npos) << warnings;

  EXPECT_EQ(init(R"({"drives": [ {"type": "simulated", )"), 0u);
  EXPECT_NE(warnings.find("not valid JSON"), std::string::npos) << warnings;
  EXPECT_EQ(init(std::string(100000, '[') + std::string(100000, ']')), 0u);
  EXPECT_EQ(init(R"({"drives": {}})"), 0u);
  EXPECT_EQ(init("\xff\xfe garbage\n\x01"), 0u);
  EXPECT_EQ(warnings.find('\x01'), std::string::npos) << "control characters reach stderr";

  std::string hundredTracks;
  for (int i = 0; i < 100; ++i) hundredTracks += std::string(i ? "," : "") + R"({"sectors": 1})";
  const std::string config = R"({"drives": [
    {"type": "simulated", "name": "Good One", "tracks": [{"sectors": 100}], "colour": "red"},
    {"type": "simulated", "name": "Zero", "tracks": [{"sectors": 0}]},
    {"type": "simulated", "name": "Negative", "tracks": [{"sectors": -5}]},
    {"type": "simulated", "name": "Fraction", "tracks": [{"sectors": 1.5}]},
    {"type": "simulated", "name": "Too long", "tracks": [{"sectors": 400000}, {"sectors": 50001}]},
    {"type": "simulated", "name": "Huge", "tracks": [{"sectors": 18446744073709551615}]},
    {"type": "simulated", "name": "Hundred", "tracks": [)" + hundredTracks + R"(]},
    {"type": "simulated", "name": "Overlap", "tracks": [{"sectors": 100}, {"sectors": 5, "start": 99}]},
    {"type": "simulated", "name": "No file", "tracks": [{"sectors": 1}], "audio": {"file": "none.bin"}},
    {"type": "simulated", "name": "Bad answer", "tracks": [{"sectors": 1}], "readiness": [0, -1]},
    {"type": "turntable", "name": "Unknown"},
    {"type": "simulated", "tracks": [{"sectors": 1}]},
    "not an object",
    {"type": "simulated", "name": "Caf\u00e9 \u2713\u0007", "tracks": [{"sectors": 1}]},
    {"type": "simulated", "name": "Fallback only", "mode": 1, "tracks": [{"sectors": 1}]},
    {"type": "simulated", "name": "Mode 2", "mode": 2, "tracks": [{"sectors": 1}]}
  ]})";
  ASSERT_EQ(init(config), 2u) << warnings;
  EXPECT_EQ(name(0), "Good One");
  EXPECT_EQ(name(1), "Caf\xe9 ??");
  EXPECT_EQ(linesContaining(" skipped: "), 13u) << warnings;
  for (int n : {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 16})
    EXPECT_EQ(linesContaining("drive " + std::to_string(n) + " skipped: "), 1u) << n << warnings;
  EXPECT_NE(warnings.find("drive 1: unknown key \"colour\" ignored"), std::string::npos);
  EXPECT_NE(warnings.find("none.bin"), std::string::npos);
  EXPECT_EQ(warnings.find("drive 15"), std::string::npos) << "a drive of a higher mode is no error";

  // Records: ids are indexes, the array ends in a null, names fit.
  CdDeviceRecord** records = nullptr;
  ASSERT_EQ(cd->GetDevices(&records), 0);
  EXPECT_EQ(records[0]->id, 0u);
  EXPECT_EQ(records[1]->id, 1u);
  EXPECT_EQ(records[2], nullptr);

  // Mode 1 adds the drives offered from mode 1 on.
  ASSERT_EQ(init(config, kCdAccessDevicesAndImages), 3u);
  EXPECT_EQ(name(2), "Fallback only");
  EXPECT_NE(cd->Initialize2(2, 0), 0);

  const std::string longName(1000, 'x');
  ASSERT_EQ(init(R"({"drives": [{"type": "simulated", "name": ")" + longName +
                 R"(", "tracks": [{"sectors": 1}]}]})"),
            1u);
  EXPECT_EQ(name(0), std::string(kCdDeviceNameBytes - 1, 'x'));
}

TEST_F(CdrLibrary, ReadinessScriptGatesTocAndAudio) {
  ASSERT_EQ(init(R"({"drives": [{"type": "simulated", "name": "S",
      "tracks": [{"sectors": 10}], "readiness": [7, 7, 12, 12, 0], "toc_failures": 2,
      "audio": {"generator": "counter"}}]})"),
            1u);
  CdToc toc{};
  std::vector<std::uint8_t> audio;
  EXPECT_NE(cd->ReadTOC(0, &toc), 0) << "before the drive was ever ready";
  for (std::int32_t expected : {7, 7, 12}) EXPECT_EQ(cd->TestUnitReady(0), expected);
  EXPECT_NE(cd->ReadTOC(0, &toc), 0) << "while becoming ready";
  EXPECT_NE(read(0, 0, 1, audio), 0);
  EXPECT_EQ(cd->TestUnitReady(0), 12);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(cd->TestUnitReady(0), 0) << "the last answer repeats";

  EXPECT_NE(cd->ReadTOC(0, &toc), 0) << "first scripted failure";
  EXPECT_NE(cd->ReadTOC(0, &toc), 0) << "second scripted failure";
  EXPECT_EQ(cd->ReadTOC(0, &toc), 0);
  EXPECT_EQ(field(toc.lastTrack), 1u);
  EXPECT_EQ(read(0, 0, 1, audio), 0);
}

TEST_F(CdrLibrary, TocRecordCountsTheLeadInAndMarksDataTracks) {
  ASSERT_EQ(init(R"({"drives": [{"type": "simulated", "name": "S", "tracks": [
      {"sectors": 13230},
      {"sectors": 22050, "data": true, "pregap": 150},
      {"sectors": 75, "start": 40000}]}]})"),
            1u);
  CdToc toc;
  std::memset(&toc, 0xAB, sizeof toc);
  ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
  EXPECT_EQ(field(toc.firstTrack), 1u);
  EXPECT_EQ(field(toc.lastTrack), 3u);

  struct Want {
    std::uint8_t control;
    std::uint32_t m, s, f, lba, lm, ls, lf, length;
  };
  const Want want[] = {
      {0, 8, 56, 25, 40075, 0, 0, 0, 0},  // lead-out
      {0, 0, 2, 0, 0, 2, 56, 30, 13230},
      {kCdControlData, 3, 0, 30, 13380, 4, 54, 0, 22050},
      {0, 8, 55, 25, 40000, 0, 1, 0, 75},
  };
  for (int i = 0; i < 4; ++i) {
    const CdTocEntry& e = toc.entries[i];
    const Want& w = want[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(field(e.control), w.control);
    EXPECT_EQ(field(e.startMinute), w.m);
    EXPECT_EQ(field(e.startSecond), w.s);
    EXPECT_EQ(field(e.startFrame), w.f);
    EXPECT_EQ(field(e.startSector), w.lba);
    EXPECT_EQ(field(e.lengthMinute), w.lm);
    EXPECT_EQ(field(e.lengthSecond), w.ls);
    EXPECT_EQ(field(e.lengthFrame), w.lf);
    EXPECT_EQ(field(e.lengthSectors), w.length);
  }

  // The packed bytes: a 4-byte first and last track, then 33-byte entries.
  std::uint8_t raw[sizeof(CdToc)];
  std::memcpy(raw, &toc, sizeof raw);
  EXPECT_EQ(le32(raw + 0), 1u);
  EXPECT_EQ(le32(raw + 4), 3u);
  EXPECT_EQ(le32(raw + 8 + 13), 40075u);  // lead-out LBA
  const std::uint8_t* track2 = raw + 8 + 2 * 33;
  EXPECT_EQ(track2[0], 0x04);
  EXPECT_EQ(le32(track2 + 1), 3u);
  EXPECT_EQ(le32(track2 + 13), 13380u);
  EXPECT_EQ(le32(track2 + 29), 22050u);
  for (std::size_t i = 8 + 4 * 33; i < sizeof raw; ++i) ASSERT_EQ(raw[i], 0) << "offset " << i;
}

TEST_F(CdrLibrary, GeneratedAudioIsExactAndEndsAtTheLeadOut) {
  ASSERT_EQ(init(R"({"drives": [
      {"type": "simulated", "name": "Counter", "tracks": [{"sectors": 10}, {"sectors": 5}],
       "audio": {"generator": "counter"}},
      {"type": "simulated", "name": "Sine", "tracks": [{"sectors": 4}], "audio": {"generator": "sine"}},
      {"type": "simulated", "name": "Silence", "tracks": [{"sectors": 4}],
       "audio": {"generator": "silence"}}]})"),
            3u);
  std::vector<std::uint8_t> audio;
  ASSERT_EQ(read(0, 0, 1, audio), 0);
  EXPECT_EQ(audio, counterBytes(0, 1));
  ASSERT_EQ(read(0, 7, 3, audio), 0);
  EXPECT_EQ(audio, counterBytes(7, 3));
  ASSERT_EQ(read(0, 14, 1, audio), 0) << "the last sector";
  EXPECT_EQ(audio, counterBytes(14, 1));

  EXPECT_NE(read(0, 14, 2, audio), 0) << "runs into the lead-out";
  EXPECT_NE(read(0, 15, 1, audio), 0);
  EXPECT_NE(read(0, 0xFFFFFFFFu, 1, audio), 0);
  EXPECT_NE(read(0, 0, 0, audio), 0);
  EXPECT_NE(cd->ReadCDDA(0, 0, 1, nullptr, 1), 0);

  // A buffer from the library is checked against its size.
  void* buffer = nullptr;
  CdBufferHandle handle = nullptr;
  ASSERT_EQ(cd->AllocateBuffer(0, 2 * kCdSectorBytes, &buffer, &handle), 0);
  EXPECT_NE(cd->ReadCDDA(0, 0, 3, buffer, 1), 0) << "three sectors into room for two";
  EXPECT_NE(cd->ReadCDDA(0, 0, 2, static_cast<char*>(buffer) + 1, 1), 0);
  ASSERT_EQ(cd->ReadCDDA(0, 3, 2, buffer, 1), 0);
  EXPECT_EQ(std::memcmp(buffer, counterBytes(3, 2).data(), 2 * kCdSectorBytes), 0);
  EXPECT_EQ(cd->FreeBuffer(handle), 0);

  std::vector<std::uint8_t> again;
  ASSERT_EQ(read(1, 1, 2, audio), 0);
  ASSERT_EQ(read(1, 2, 1, again), 0);
  EXPECT_TRUE(std::equal(again.begin(), again.end(), audio.begin() + kCdSectorBytes))
      << "a sector's samples depend on its LBA only";
  EXPECT_NE(std::count(audio.begin(), audio.end(), 0), static_cast<long>(audio.size()));

  ASSERT_EQ(read(2, 0, 4, audio), 0);
  EXPECT_EQ(std::count(audio.begin(), audio.end(), 0), static_cast<long>(audio.size()));
}

TEST_F(CdrLibrary, RawFileAudioFailsWhereTheFileEnds) {
  std::string raw(3 * kCdSectorBytes, '\0');
  for (std::size_t i = 0; i < raw.size(); ++i) raw[i] = static_cast<char>(i * 7 + 3);
  writeFile("disc.bin", raw);
  ASSERT_EQ(init(R"({"drives": [{"type": "simulated", "name": "Raw",
      "tracks": [{"sectors": 4}], "audio": {"file": "disc.bin"}}]})"),
            1u);
  std::vector<std::uint8_t> audio;
  ASSERT_EQ(read(0, 0, 3, audio), 0);
  EXPECT_EQ(std::string(audio.begin(), audio.end()), raw);
  ASSERT_EQ(read(0, 2, 1, audio), 0);
  EXPECT_EQ(std::string(audio.begin(), audio.end()), raw.substr(2 * kCdSectorBytes));
  EXPECT_NE(read(0, 3, 1, audio), 0) << "the file holds three of four sectors";
  EXPECT_NE(read(0, 2, 2, audio), 0);

  fs::create_directory(dir / "folder");
  EXPECT_EQ(init(R"({"drives": [{"type": "simulated", "name": "Dir",
      "tracks": [{"sectors": 4}], "audio": {"file": "folder"}}]})"),
            0u);
}

TEST_F(CdrLibrary, EjectEmptiesTheDriveAndLoadSpinsItUpAgain) {
  ASSERT_EQ(init(R"({"drives": [
      {"type": "simulated", "name": "A", "tracks": [{"sectors": 10}], "readiness": [12, 0]},
      {"type": "simulated", "name": "B", "tracks": [{"sectors": 10}], "disc": false}]})"),
            2u);
  CdToc toc;
  std::vector<std::uint8_t> audio;
  EXPECT_EQ(cd->TestUnitReady(0), 12);
  EXPECT_EQ(cd->TestUnitReady(0), 0);
  EXPECT_EQ(cd->Eject(0), 0);
  EXPECT_EQ(cd->Eject(0), 0);
  EXPECT_EQ(cd->TestUnitReady(0), kCdNoDisc);
  EXPECT_EQ(cd->TestUnitReady(0), kCdNoDisc);
  EXPECT_NE(cd->ReadTOC(0, &toc), 0);
  EXPECT_NE(read(0, 0, 1, audio), 0);
  EXPECT_EQ(cd->Load(0), 0);
  EXPECT_EQ(cd->TestUnitReady(0), 12) << "the script plays again";
  EXPECT_EQ(cd->Load(0), 0);
  EXPECT_EQ(cd->TestUnitReady(0), 0) << "loading a loaded drive changes nothing";
  EXPECT_EQ(cd->ReadTOC(0, &toc), 0);

  EXPECT_EQ(cd->TestUnitReady(1), kCdNoDisc);
  EXPECT_NE(cd->ReadTOC(1, &toc), 0);
  EXPECT_EQ(cd->Load(1), 0);
  EXPECT_EQ(cd->TestUnitReady(1), 0);
  EXPECT_EQ(cd->ReadTOC(1, &toc), 0);
}

TEST_F(CdrLibrary, ControlsAnswerAndBadIndexesHandlesAndPointersAreRefused) {
  ASSERT_EQ(init(R"({"drives": [
      {"type": "simulated", "name": "A", "tracks": [{"sectors": 10}]},
      {"type": "simulated", "name": "B", "tracks": [{"sectors": 10}], "max_buffer": 235200}]})"),
            2u);
  std::uint8_t sector[kCdSectorBytes];
  CdToc toc;
  std::uint32_t value = 0;
  void* buffer = nullptr;
  CdBufferHandle handle = nullptr;
  EXPECT_EQ(cd->SetSpeed(0, 8), 0);
  EXPECT_EQ(cd->SetSpeed(1, 24), 0);
  EXPECT_EQ(cd->GetSpeed(0, &value), 0);
  EXPECT_EQ(value, 8u);
  EXPECT_EQ(cd->GetMaxBuffer(0, &value), 0);
  EXPECT_EQ(value, 65536u);
  EXPECT_EQ(cd->GetMaxBuffer(1, &value), 0);
  EXPECT_EQ(value, 235200u);
  for (auto fn : {cd->Lock, cd->Lock, cd->Unlock, cd->Unlock, cd->Unlock, cd->LockVolume,
                  cd->UnlockVolume, cd->PrepareCDDA})
    EXPECT_EQ(fn(0), 0);
  value = sizeof sector;
  EXPECT_NE(cd->ReadCDText(0, sector, &value), 0) << "simulated discs carry no CD-Text";
  EXPECT_EQ(value, 0u);
  for (std::uint32_t bad : {2u, 3u, 0x80000000u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(bad);
    for (auto fn : {cd->TestUnitReady, cd->Eject, cd->Load, cd->Lock, cd->Unlock, cd->PrepareCDDA,
                    cd->LockVolume, cd->UnlockVolume})
      EXPECT_NE(fn(bad), 0);
    EXPECT_NE(cd->ReadTOC(bad, &toc), 0);
    EXPECT_NE(cd->GetMaxBuffer(bad, &value), 0);
    EXPECT_NE(cd->AllocateBuffer(bad, 4096, &buffer, &handle), 0);
    EXPECT_NE(cd->ReadCDDA(bad, 0, 1, sector, 1), 0);
    EXPECT_NE(cd->SetSpeed(bad, 4), 0);
    EXPECT_NE(cd->GetSpeed(bad, &value), 0);
    value = sizeof sector;
    EXPECT_NE(cd->ReadCDText(bad, sector, &value), 0);
  }
  EXPECT_NE(cd->GetDeviceCount(nullptr), 0);
  EXPECT_NE(cd->GetDevices(nullptr), 0);
  EXPECT_NE(cd->ReadTOC(0, nullptr), 0);
  EXPECT_NE(cd->GetSpeed(0, nullptr), 0);
  EXPECT_NE(cd->GetMaxBuffer(0, nullptr), 0);
  EXPECT_NE(cd->ReadCDText(0, sector, nullptr), 0);

  EXPECT_NE(cd->AllocateBuffer(0, 0, &buffer, &handle), 0);
  EXPECT_NE(cd->AllocateBuffer(0, (64u << 20) + 1, &buffer, &handle), 0);
  EXPECT_NE(cd->AllocateBuffer(0, 0xFFFFFFFFu, &buffer, &handle), 0);
  EXPECT_NE(cd->AllocateBuffer(0, 4096, nullptr, &handle), 0);
  EXPECT_NE(cd->AllocateBuffer(0, 4096, &buffer, nullptr), 0);
  ASSERT_EQ(cd->AllocateBuffer(0, 64u << 20, &buffer, &handle), 0);
  static_cast<char*>(buffer)[(64u << 20) - 1] = 1;  // really that large
  EXPECT_NE(cd->FreeBuffer(buffer), 0) << "an address is no handle";
  EXPECT_NE(cd->FreeBuffer(nullptr), 0);
  EXPECT_NE(cd->FreeBuffer(reinterpret_cast<CdBufferHandle>(0xDEADBEEF)), 0);
  EXPECT_EQ(cd->FreeBuffer(handle), 0);
  EXPECT_NE(cd->FreeBuffer(handle), 0) << "freed twice";
}

TEST_F(CdrLibrary, ReinitialisingKeepsHandedOutRecordsReadable) {
  ASSERT_EQ(init(R"({"drives": [
      {"type": "simulated", "name": "First A", "tracks": [{"sectors": 10}]},
      {"type": "simulated", "name": "First B", "tracks": [{"sectors": 10}]}]})"),
            2u);
  CdDeviceRecord** before = nullptr;
  ASSERT_EQ(cd->GetDevices(&before), 0);
  CdDeviceRecord* firstB = before[1];

  ASSERT_EQ(init(R"({"drives": [{"type": "simulated", "name": "Second", "tracks": [{"sectors": 10}]}]})"),
            1u);
  EXPECT_STREQ(firstB->name, "First B");
  EXPECT_STREQ(before[0]->name, "First A");
  EXPECT_EQ(name(0), "Second");
  EXPECT_NE(cd->TestUnitReady(1), 0) << "index 1 left with the old configuration";
}

TEST_F(CdrLibrary, ReinitialisingUnderConcurrentReadsStaysSafe) {
  const std::string config = R"({"drives": [
      {"type": "simulated", "name": "A", "tracks": [{"sectors": 500}], "audio": {"generator": "counter"}}]})";
  ASSERT_EQ(init(config), 1u);
  std::atomic<bool> stop{false};
  std::atomic<int> wrongBytes{0};
  std::thread reader([&] {
    std::vector<std::uint8_t> out(4 * kCdSectorBytes);
    for (std::uint32_t i = 0; !stop; ++i) {
      const std::uint32_t lba = i % 496;
      // Failing is allowed while the drives are replaced; wrong data is not.
      if (cd->ReadCDDA(0, lba, 4, out.data(), 1) == 0 && out != counterBytes(lba, 4)) ++wrongBytes;
      cd->TestUnitReady(0);
      std::uint32_t count;
      CdDeviceRecord** records;
      if (cd->GetDeviceCount(&count) == 0 && count > 0 && cd->GetDevices(&records) == 0 &&
          std::strcmp(records[0]->name, "A") != 0)
        ++wrongBytes;
    }
  });
  for (int i = 0; i < 20; ++i) {
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(cd->Initialize2(0, 0), 0);
    ::testing::internal::GetCapturedStderr();
  }
  stop = true;
  reader.join();
  EXPECT_EQ(wrongBytes, 0);
  std::vector<std::uint8_t> out;
  EXPECT_EQ(read(0, 10, 1, out), 0);
}

}  // namespace
