// cdr.dll's real-drive backend, run against the emulated optical drive
// (tools/emulated-drive): libcdio's Linux driver and the backend's MMC
// commands unchanged, the drive's behaviour scripted per test.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>
#include <nlohmann/json.hpp>

#include "support/preload.h"
#include "unit/cdr/cdr_loader.h"
#include "unit/cdr/image_files.h"

namespace {

using Clock = std::chrono::steady_clock;
using cdr_test::counterBytes;
using nlohmann::json;

// The emulation's test controls, found in this process.
struct Emulation {
  int (*load)(const char*) = nullptr;
  int (*control)(const char*) = nullptr;
  int (*status)(char*, int) = nullptr;
  Emulation() {
    load = reinterpret_cast<int (*)(const char*)>(dlsym(RTLD_DEFAULT, "emulated_drive_load"));
    control = reinterpret_cast<int (*)(const char*)>(dlsym(RTLD_DEFAULT, "emulated_drive_control"));
    status = reinterpret_cast<int (*)(char*, int)>(dlsym(RTLD_DEFAULT, "emulated_drive_status"));
  }
  json state() const {
    char text[4096];
    status(text, sizeof text);
    return json::parse(text);
  }
};

class EmulatedDevice : public cdr_test::CdrLibrary {
 protected:
  void SetUp() override {
    CdrLibrary::SetUp();
    ASSERT_NE(emu.load, nullptr) << "the emulated drive is not preloaded";
    // 300 sectors: audio 0-99, audio 100-199, data 200-299 (image_files.h).
    cdr_test::writeThreeTrackImage(dir, "disc");
  }
  // The drive behind /dev/sr0 with the script's extra keys.
  void script(const json& extra = json::object()) {
    json s = {{"path", "/dev/sr0"}, {"cue", (dir / "disc.cue").string()}};
    s.update(extra);
    writeFile("drive.json", s.dump());
    ASSERT_EQ(emu.load((dir / "drive.json").c_str()), 0);
  }
  // cdr.dll with one "device" entry for it.
  void configure(const json& entry = json::object()) {
    json e = {{"type", "device"}, {"path", "/dev/sr0"}, {"name", "Emulated"}, {"timeout_ms", 300}};
    e.update(entry);
    ASSERT_EQ(init(json{{"drives", json::array({e})}}.dump()), 1u) << warnings;
  }

  Emulation emu;
};

TEST_F(EmulatedDevice, ReadinessCodesFollowTheDrivesState) {
  script({{"readiness", json::array({{{"state", "tray_open"}, {"calls", 1}},
                                     {{"state", "no_medium"}, {"calls", 1}},
                                     {{"state", "becoming_ready"}, {"calls", 1}},
                                     {{"state", "unit_attention"}, {"calls", 1}},
                                     {{"state", "tray_open_silent"}, {"calls", 1}},
                                     {{"state", "ready"}}})}});
  configure();
  std::vector<std::int32_t> answers;
  for (int i = 0; i < 6; ++i) answers.push_back(cd->TestUnitReady(0));
  EXPECT_EQ(answers, (std::vector<std::int32_t>{kCdNoDisc, kCdNoDisc, kCdBecomingReady,
                                                kCdBecomingReady, kCdNoDisc, kCdReady}));
  // Steps by time: becoming ready for 300 ms after the disc went in.
  script({{"readiness", json::array({{{"state", "becoming_ready"}, {"ms", 300}}, {{"state", "ready"}}})}});
  configure();
  EXPECT_EQ(cd->TestUnitReady(0), kCdBecomingReady);
  std::this_thread::sleep_for(std::chrono::milliseconds(350));
  EXPECT_EQ(cd->TestUnitReady(0), kCdReady);
  // Not ready: the table of contents and the audio are refused.
  script({{"readiness", json::array({{{"state", "becoming_ready"}}})}});
  configure();
  CdToc toc{};
  EXPECT_NE(cd->ReadTOC(0, &toc), 0);
  std::vector<std::uint8_t> out;
  EXPECT_NE(read(0, 0, 1, out), 0);
}

TEST_F(EmulatedDevice, TocAndAudioAreTheImages) {
  script();
  // The same disc as an image drive, for comparison.
  ASSERT_EQ(init(json{{"drives", json::array({{{"type", "device"}, {"path", "/dev/sr0"}},
                                              {{"type", "image"}, {"path", "disc.cue"}}})}}
                     .dump()),
            2u)
      << warnings;
  EXPECT_EQ(name(0), "RONDEL EMULATED CD (/dev/sr0)");
  EXPECT_EQ(cd->TestUnitReady(0), kCdReady);
  CdToc fromDevice{}, fromImage{};
  ASSERT_EQ(cd->ReadTOC(0, &fromDevice), 0);
  ASSERT_EQ(cd->ReadTOC(1, &fromImage), 0);
  EXPECT_EQ(std::memcmp(&fromDevice, &fromImage, sizeof fromDevice), 0);
  EXPECT_EQ(cdr_test::field(fromDevice.lastTrack), 3u);
  EXPECT_EQ(cdr_test::field(fromDevice.entries[3].control) & 0x04, 0x04);

  // First, middle and last sectors of the audio, exactly; a read across
  // chunks of the backend too; nothing past the lead-out.
  std::vector<std::uint8_t> out;
  for (const auto& [lba, count] : std::vector<std::pair<std::uint32_t, std::uint32_t>>{
           {0, 1}, {150, 1}, {199, 1}, {0, 60}}) {
    ASSERT_EQ(read(0, lba, count, out), 0) << lba;
    EXPECT_TRUE(out == counterBytes(lba, count)) << "sectors " << lba << "+" << count;
  }
  EXPECT_NE(read(0, 299, 2, out), 0);
}

// An Enhanced CD: two audio tracks in session 1, the data track of session 2
// 11400 sectors after the audio's end. The drive answers as a real one (READ
// TOC format 1 and the multisession ioctl name session 2's first track; the
// gap between the sessions cannot be read), and the backend and the image
// drive both end track 2 at the first session's lead-out.
TEST_F(EmulatedDevice, AnEnhancedCdEndsItsAudioAtTheFirstSessionsLeadOut) {
  constexpr std::uint32_t kDataStart = 200 + 11400;
  cdr_test::writeCounterBin(dir / "disc.bin", kDataStart + 50);
  cdr_test::writeText(dir / "disc.cue", "FILE \"disc.bin\" BINARY\n  REM SESSION 01\n"
                                        "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n    INDEX 01 00:01:25\n  REM SESSION 02\n"
                                        "  TRACK 03 MODE1/2352\n    INDEX 00 00:02:50\n"
                                        "    INDEX 01 02:34:50\n");
  script();
  ASSERT_EQ(init(json{{"drives", json::array({{{"type", "device"}, {"path", "/dev/sr0"}},
                                              {{"type", "image"}, {"path", "disc.cue"}}})}}
                     .dump()),
            2u)
      << warnings;
  CdToc fromDevice{}, fromImage{};
  ASSERT_EQ(cd->ReadTOC(0, &fromDevice), 0);
  ASSERT_EQ(cd->ReadTOC(1, &fromImage), 0);
  EXPECT_EQ(std::memcmp(&fromDevice, &fromImage, sizeof fromDevice), 0);
  EXPECT_EQ(cdr_test::field(fromDevice.entries[2].lengthSectors), 100u);
  EXPECT_EQ(cdr_test::field(fromDevice.entries[3].startSector), kDataStart);
  EXPECT_EQ(cdr_test::field(fromDevice.entries[0].startSector), kDataStart + 50);
  std::vector<std::uint8_t> out;
  EXPECT_EQ(read(0, 199, 1, out), 0);
  EXPECT_NE(read(0, 199, 2, out), 0) << "the first session's lead-out is no audio";

  const int fd = ::open("/dev/sr0", O_RDONLY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  std::uint8_t cdb[10] = {0x43, 0x00, 0x01, 0, 0, 0, 0, 0, 12, 0};  // READ TOC format 1, LBA
  std::uint8_t reply[12] = {};
  std::uint8_t sense[32] = {};
  sg_io_hdr_t io{};
  io.interface_id = 'S';
  io.dxfer_direction = SG_DXFER_FROM_DEV;
  io.cmd_len = sizeof cdb;
  io.cmdp = cdb;
  io.dxfer_len = sizeof reply;
  io.dxferp = reply;
  io.mx_sb_len = sizeof sense;
  io.sbp = sense;
  io.timeout = 1000;
  ASSERT_EQ(::ioctl(fd, SG_IO, &io), 0);
  EXPECT_EQ(io.status, 0);
  EXPECT_EQ(reply[2], 1) << "first session";
  EXPECT_EQ(reply[3], 2) << "last session";
  EXPECT_EQ(reply[6], 3) << "its first track";
  EXPECT_EQ(std::uint32_t{reply[8]} << 24 | reply[9] << 16 | reply[10] << 8 | reply[11], kDataStart);
  cdrom_multisession ms{};
  ms.addr_format = CDROM_MSF;
  ASSERT_EQ(::ioctl(fd, CDROMMULTISESSION, &ms), 0);
  EXPECT_EQ(ms.xa_flag, 1);
  EXPECT_EQ((ms.addr.msf.minute * 60 + ms.addr.msf.second) * 75 + ms.addr.msf.frame, kDataStart + 150);
  ::close(fd);
}

TEST_F(EmulatedDevice, TrayLockEjectLoadAndSpeed) {
  script();
  configure();
  ASSERT_EQ(cd->TestUnitReady(0), kCdReady);
  EXPECT_EQ(cd->Lock(0), 0);
  EXPECT_TRUE(emu.state()["locked"].get<bool>());
  EXPECT_EQ(cd->Unlock(0), 0);
  EXPECT_FALSE(emu.state()["locked"].get<bool>());
  // A locked tray still opens: the backend allows removal first.
  EXPECT_EQ(cd->Lock(0), 0);
  EXPECT_EQ(cd->Eject(0), 0);
  EXPECT_TRUE(emu.state()["tray_open"].get<bool>());
  EXPECT_FALSE(emu.state()["locked"].get<bool>());
  EXPECT_EQ(cd->TestUnitReady(0), kCdNoDisc);
  EXPECT_EQ(cd->Load(0), 0);
  EXPECT_EQ(cd->TestUnitReady(0), kCdReady);
  CdToc toc{};
  EXPECT_EQ(cd->ReadTOC(0, &toc), 0);
  EXPECT_EQ(cd->SetSpeed(0, 8), 0);
  std::uint32_t speed = 0;
  EXPECT_EQ(cd->GetSpeed(0, &speed), 0);
  EXPECT_EQ(speed, 8u);
  EXPECT_EQ(emu.state()["speed_kbs"].get<int>(), 8 * 176);
  EXPECT_EQ(cd->LockVolume(0), 0);
  EXPECT_EQ(cd->UnlockVolume(0), 0);
  EXPECT_EQ(cd->PrepareCDDA(0), 0);
}

TEST_F(EmulatedDevice, MediumErrorsRecoverOrNot) {
  script({{"medium_errors", json::array({{{"sector", 50}, {"times", 1}}, {{"sector", 150}}})}});
  configure();
  ASSERT_EQ(cd->TestUnitReady(0), kCdReady);
  CdToc toc{};
  ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
  std::vector<std::uint8_t> out;
  EXPECT_NE(read(0, 40, 20, out), 0);
  ASSERT_EQ(read(0, 40, 20, out), 0);
  EXPECT_TRUE(out == counterBytes(40, 20));
  for (int attempt = 0; attempt < 3; ++attempt) EXPECT_NE(read(0, 149, 2, out), 0);
  ASSERT_EQ(read(0, 151, 2, out), 0);
  EXPECT_TRUE(out == counterBytes(151, 2));
}

// A drive that stops answering costs one command time-out per question,
// and the backend opens the device afresh once it answers again; the same
// for a drive unplugged and plugged back.
TEST_F(EmulatedDevice, ADeadDriveCostsBoundedTimeAndIsReopened) {
  script();
  configure();
  ASSERT_EQ(cd->TestUnitReady(0), kCdReady);
  const int opensBefore = emu.state()["counts"]["open"].get<int>();
  ASSERT_EQ(emu.control("die"), 0);
  // The second question opens the device afresh: that costs no more.
  for (int poll = 0; poll < 2; ++poll) {
    const auto start = Clock::now();
    EXPECT_EQ(cd->TestUnitReady(0), 4);
    const auto took = Clock::now() - start;
    EXPECT_LT(took, std::chrono::milliseconds(300 + 250)) << "one 300 ms time-out, not more";
  }
  std::vector<std::uint8_t> out;
  ASSERT_EQ(emu.control("revive"), 0);
  EXPECT_EQ(cd->TestUnitReady(0), kCdReady);
  EXPECT_GT(emu.state()["counts"]["open"].get<int>(), opensBefore);

  ASSERT_EQ(emu.control("unplug"), 0);
  EXPECT_EQ(cd->TestUnitReady(0), 4);
  EXPECT_NE(read(0, 0, 1, out), 0);
  ASSERT_EQ(emu.control("plug"), 0);
  EXPECT_EQ(cd->TestUnitReady(0), kCdReady);
  ASSERT_EQ(read(0, 0, 1, out), 0);
  EXPECT_TRUE(out == counterBytes(0, 1));
}

// The counter disc's audio from stereo frame `frame` on: frames before the
// disc and at or past endFrame are zeros.
std::vector<std::uint8_t> counterFrom(std::int64_t frame, std::size_t frames, std::int64_t endFrame) {
  std::vector<std::uint8_t> out(frames * 4, 0);
  for (std::size_t i = 0; i < frames; ++i, ++frame)
    if (frame >= 0 && frame < endFrame)
      for (int b = 0; b < 4; ++b) out[i * 4 + b] = static_cast<std::uint8_t>(frame >> (8 * b));
  return out;
}

// A drive that reads 48 samples late (and one that reads 30 early), on an
// all-audio disc of 300 sectors: the matching "offset" gives the disc's
// true samples, none gives them shifted by exactly that much, and samples
// outside what the drive can read are zeros.
TEST_F(EmulatedDevice, ReadOffsetsCorrectAShiftedDriveExactly) {
  cdr_test::writeText(dir / "audio.cue", "FILE \"disc.bin\" BINARY\n"
                                         "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n"
                                         "  TRACK 02 AUDIO\n    INDEX 01 00:02:00\n");
  const std::int64_t end = 300 * 588;
  std::vector<std::uint8_t> out;
  CdToc toc{};
  for (const std::int32_t drift : {48, -30}) {
    SCOPED_TRACE(drift);
    script({{"cue", (dir / "audio.cue").string()}, {"offset", drift}});
    configure();
    ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
    ASSERT_EQ(read(0, 100, 2, out), 0);
    EXPECT_TRUE(out == counterFrom(100 * 588 - drift, 2 * 588, end)) << "shifted by the drive";

    configure({{"offset", drift}});
    ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
    for (const std::uint32_t lba : {0u, 100u, 298u}) {
      ASSERT_EQ(read(0, lba, 2, out), 0) << lba;
      // What lies beyond the readable area for this drive is silence.
      auto expected = counterFrom(lba * 588, 2 * 588, drift > 0 ? end - drift : end);
      if (drift < 0 && lba == 0) std::fill(expected.begin(), expected.begin() - drift * 4, 0);
      EXPECT_TRUE(out == expected) << "sector " << lba;
    }
  }

  // Without an "offset", the offsets file's value for the model; a FIFO in
  // its place is refused, not waited on.
  script({{"cue", (dir / "audio.cue").string()}, {"offset", 48}});
  writeFile("offsets.json", R"({"RONDEL EMULATED CD": 48})");
  setenv("CDR_OFFSETS", (dir / "offsets.json").c_str(), 1);
  configure();
  ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
  ASSERT_EQ(read(0, 100, 2, out), 0);
  EXPECT_TRUE(out == counterBytes(100, 2)) << "corrected by the file's value";
  ASSERT_EQ(::mkfifo((dir / "offsets.fifo").c_str(), 0600), 0);
  setenv("CDR_OFFSETS", (dir / "offsets.fifo").c_str(), 1);
  configure();
  unsetenv("CDR_OFFSETS");
  EXPECT_NE(warnings.find("offsets.fifo is not a regular file"), std::string::npos) << warnings;
  ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
  ASSERT_EQ(read(0, 100, 2, out), 0);
  EXPECT_TRUE(out == counterFrom(100 * 588 - 48, 2 * 588, end)) << "no correction";

  // A simulated drive takes it too; a value out of range skips the entry.
  ASSERT_EQ(init(R"({"drives": [{"type": "simulated", "name": "Late", "tracks": [{"sectors": 300}],
                    "audio": {"generator": "counter"}, "jitter": {"bytes": -192}, "offset": 48},
                   {"type": "simulated", "name": "Wild", "tracks": [{"sectors": 300}], "offset": 9999}]})"),
            1u);
  EXPECT_NE(warnings.find("\"offset\" must be an integer from -5880 to 5880"), std::string::npos) << warnings;
  ASSERT_EQ(cd->TestUnitReady(0), kCdReady);
  ASSERT_EQ(cd->ReadTOC(0, &toc), 0);
  ASSERT_EQ(read(0, 100, 2, out), 0);
  EXPECT_TRUE(out == counterBytes(100, 2));
}

}  // namespace

int main(int argc, char** argv) { return emulated_drive::runPreloaded(argc, argv); }
