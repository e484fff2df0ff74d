// Independent MMC clients on the emulated drive, each judged against the
// image: cdparanoia and cd-paranoia list and rip it bit-exact, cdrdao reads
// its table of contents and codes, cd-info reports the drive and the codes.
// Every client runs with the emulation's trace on, and a command or ioctl
// the emulation does not have fails the test. The same process, preloaded
// too, asks the device node and the drive what those clients rely on.
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <scsi/sg.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>

#include "support/cd_info.h"
#include "support/preload.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

using nlohmann::json;
using testing_support::CommandResult;
using testing_support::runCommand;

constexpr std::size_t kSector = 2352;
constexpr char kCatalog[] = "0123456789012";

// A disc of three short audio tracks with a catalogue number and two
// ISRCs; 1400 sectors, as cdparanoia's cache probe reads 1200 sectors in.
class MmcClients : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string description = dir.write("codes.json", R"({
      "catalog": "0123456789012",
      "tracks": [{"kind": "tone", "frequency": 440, "sectors": 600, "isrc": "USRC17607839"},
                 {"kind": "noise", "sectors": 500},
                 {"kind": "tone", "frequency": 300, "sectors": 300, "isrc": "GBAYE0000351"}]})");
    const CommandResult made = runCommand({testing_support::binDir() + "/mkdisc", description, "--out", dir.path()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    cue = dir.file("codes.cue");
    bin = testing_support::readFile(dir.file("codes.bin"));
    ASSERT_EQ(bin.size(), 1400 * kSector);
    script = dir.write("drive.json", json{{"path", "/dev/sr0"}, {"cue", cue}}.dump());
  }

  // A client with the emulation under it. Its trace is on, and its own leaks
  // are not this test's (a sanitizer runtime comes first in LD_PRELOAD).
  CommandResult client(const std::string& name, std::vector<std::string> args) {
    const std::string program = testing_support::findProgram(name);
    EXPECT_FALSE(program.empty()) << name << " is missing: scripts/setup installs it";
    testing_support::ScopedEnv drive("EMULATED_DRIVE", script);
    testing_support::ScopedEnv preload("LD_PRELOAD", emulated_drive::preloadValue());
    testing_support::ScopedEnv trace("EMULATED_DRIVE_TRACE", "1");
    testing_support::ScopedEnv leaks("ASAN_OPTIONS", "detect_leaks=0");
    args.insert(args.begin(), program);
    CommandResult r = runCommand(args);
    EXPECT_EQ(r.err.find("unanswered"), std::string::npos) << name << " asked what the drive lacks:\n" << r.err;
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    return r;
  }

  // The image's sectors [from, from + count) as a WAV file holds them.
  std::string sectors(std::size_t from, std::size_t count) const { return bin.substr(from * kSector, count * kSector); }
  static std::string wavData(const std::string& wav) { return wav.size() < 44 ? std::string() : wav.substr(44); }

  testing_support::TempDir dir;
  std::string cue, bin, script;
};

TEST_F(MmcClients, CdparanoiaAndCdParanoiaListAndRipBitExact) {
  REQUIRE_TOOLS("cdparanoia", "cd-paranoia", "cd-info");
  const std::vector<testing_support::CdInfoTrack> image = testing_support::cdInfoTracks("--cue-file", cue);
  ASSERT_EQ(image.size(), 4u);  // three tracks and the lead-out
  for (const char* name : {"cdparanoia", "cd-paranoia"}) {
    SCOPED_TRACE(name);
    const CommandResult listed = client(name, {"-d", "/dev/sr0", "-Q"});
    std::vector<std::array<unsigned, 3>> toc;  // track, length, begin
    std::istringstream lines(listed.err);
    for (std::string line; std::getline(lines, line);) {
      std::array<unsigned, 3> t{};
      if (std::sscanf(line.c_str(), " %u. %u [%*[^]]] %u", &t[0], &t[1], &t[2]) == 3) toc.push_back(t);
    }
    ASSERT_EQ(toc.size(), 3u) << listed.err;
    for (std::size_t i = 0; i < 3; ++i) {
      EXPECT_EQ(toc[i][0], image[i].track);
      EXPECT_EQ(toc[i][2], image[i].lsn);
      EXPECT_EQ(toc[i][1], image[i + 1].lsn - image[i].lsn);
    }
    EXPECT_EQ(listed.err.find("MMC CDDA support"), std::string::npos) << listed.err;

    const std::string wav = dir.file(std::string(name) + ".wav");
    const CommandResult ripped = client(name, {"-d", "/dev/sr0", "2", wav});
    EXPECT_EQ(ripped.err.find("error"), std::string::npos) << ripped.err;
    EXPECT_TRUE(wavData(testing_support::readFile(wav)) == sectors(600, 500)) << "track 2 not bit-exact";
  }
}

TEST_F(MmcClients, CdrdaoReadsTrackStartsAndCodes) {
  REQUIRE_TOOLS("cdrdao");
  const std::string tocFile = dir.file("read.toc");
  const CommandResult r = client("cdrdao", {"read-toc", "--device", "/dev/sr0", tocFile});
  EXPECT_EQ(r.err.find("ERROR"), std::string::npos) << r.err;
  const std::string toc = testing_support::readFile(tocFile);
  EXPECT_NE(toc.find("CATALOG \"0123456789012\""), std::string::npos) << toc;
  // Each track: its ISRC where it has one, then its start and length in the
  // data file (the first track's start written as 0).
  std::vector<std::string> files, isrcs;
  std::istringstream lines(toc);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("TRACK AUDIO", 0) == 0) isrcs.emplace_back();
    if (line.rfind("ISRC ", 0) == 0 && !isrcs.empty()) isrcs.back() = line.substr(5);
    if (line.rfind("FILE ", 0) == 0) files.push_back(line.substr(line.find('"', 6) + 2));
  }
  EXPECT_EQ(files, (std::vector<std::string>{"0 00:08:00", "00:08:00 00:06:50", "00:14:50 00:04:00"})) << toc;
  EXPECT_EQ(isrcs, (std::vector<std::string>{"\"USRC17607839\"", "", "\"GBAYE0000351\""})) << toc;
}

TEST_F(MmcClients, CdInfoReportsTheDriveAndTheCodes) {
  REQUIRE_TOOLS("cd-info");
  const CommandResult r = client("cd-info", {"--no-header", "--no-cddb", "-C", "/dev/sr0"});
  for (const char* failure : {"Error in getting drive", "not supported by drive/driver", "audio status: FAILED",
                              "can't get volume"})
    EXPECT_EQ(r.out.find(failure), std::string::npos) << failure << "\n" << r.out;
  for (const std::string& said :
       {std::string("Can read CD-DA                          : Yes"), std::string("Media Catalog Number (MCN): ") + kCatalog,
        std::string("TRACK  1 ISRC: USRC17607839"), std::string("TRACK  3 ISRC: GBAYE0000351"),
        std::string("audio status: no status")})
    EXPECT_NE(r.out.find(said), std::string::npos) << said << "\n" << r.out;
  EXPECT_EQ(r.out.find("TRACK  2 ISRC"), std::string::npos) << r.out;
  // The sheet mkdisc wrote, read by cd-info itself, names the same number.
  const CommandResult sheet = runCommand({testing_support::findProgram("cd-info"), "--no-header", "--no-cddb",
                                          "--cue-file", cue});
  EXPECT_NE(sheet.out.find(std::string("Media Catalog Number (MCN): ") + kCatalog), std::string::npos) << sheet.out;
}

// One SCSI command through SG_IO on a descriptor; its status and sense.
struct Outcome {
  int result = 0, status = 0;
  std::array<unsigned char, 3> sense{};  // key, ASC, ASCQ
  std::vector<unsigned char> data;
};
Outcome scsi(int fd, std::vector<unsigned char> cdb, std::size_t room, int direction = SG_DXFER_FROM_DEV) {
  Outcome o;
  o.data.assign(room, 0xEE);
  unsigned char sense[32] = {};
  sg_io_hdr_t h{};
  h.interface_id = 'S';
  h.cmdp = cdb.data();
  h.cmd_len = static_cast<unsigned char>(cdb.size());
  h.dxfer_direction = direction;
  h.dxferp = o.data.data();
  h.dxfer_len = static_cast<unsigned>(room);
  h.sbp = sense;
  h.mx_sb_len = sizeof sense;
  h.timeout = 1000;
  o.result = ::ioctl(fd, SG_IO, &h);
  o.status = h.status;
  o.sense = {static_cast<unsigned char>(sense[2] & 0x0F), sense[12], sense[13]};
  o.data.resize(room - static_cast<std::size_t>(h.resid));
  return o;
}

// What the clients above ask of the node and the drive, and their edges:
// every stat form sees a block device of the CD-ROM major, a copied
// descriptor still reaches the drive, the SG driver's own ioctls answer,
// and unknown pages, formats and commands are refused with sense data.
TEST_F(MmcClients, TheNodeAndTheDriveAnswerAsTheKernelAndADriveDo) {
  auto* load = reinterpret_cast<int (*)(const char*)>(dlsym(RTLD_DEFAULT, "emulated_drive_load"));
  auto* status = reinterpret_cast<int (*)(char*, int)>(dlsym(RTLD_DEFAULT, "emulated_drive_status"));
  ASSERT_NE(load, nullptr) << "the emulated drive is not preloaded";
  ASSERT_EQ(load(script.c_str()), 0);

  struct stat st {};
  ASSERT_EQ(::stat("/dev/sr0", &st), 0);
  EXPECT_TRUE(S_ISBLK(st.st_mode));
  EXPECT_EQ(major(st.st_rdev), 11u);
  ASSERT_EQ(::lstat("/dev/sr0", &st), 0);
  ASSERT_EQ(::fstatat(AT_FDCWD, "/dev/sr0", &st, 0), 0);
  EXPECT_TRUE(S_ISBLK(st.st_mode));
  struct statx sx {};
  ASSERT_EQ(::statx(AT_FDCWD, "/dev/sr0", 0, STATX_BASIC_STATS, &sx), 0);
  EXPECT_TRUE(S_ISBLK(sx.stx_mode));
  EXPECT_EQ(sx.stx_rdev_major, 11u);
  // The forms older programs call, found as they are.
  using XStat = int (*)(int, const char*, struct stat*);
  for (const char* name : {"__xstat", "__lxstat"}) {
    auto* form = reinterpret_cast<XStat>(dlsym(RTLD_DEFAULT, name));
    ASSERT_NE(form, nullptr) << name;
    st = {};
    EXPECT_EQ(form(1, "/dev/sr0", &st), 0) << name;
    EXPECT_TRUE(S_ISBLK(st.st_mode)) << name;
  }
  char resolved[PATH_MAX];
  ASSERT_NE(::realpath("/dev/sr0", resolved), nullptr);
  EXPECT_STREQ(resolved, "/dev/sr0");
  EXPECT_EQ(::access("/dev/sr0", R_OK | W_OK), 0);
  // Other paths still reach the real calls.
  EXPECT_EQ(::stat(cue.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));

  const int opened = ::open("/dev/sr0", O_RDWR | O_NONBLOCK);
  ASSERT_GE(opened, 0);
  const int fd = ::dup(opened);
  ::close(opened);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::fstat(fd, &st), 0);
  EXPECT_TRUE(S_ISBLK(st.st_mode)) << "a copied descriptor is the device's";
  int value = 0;
  EXPECT_EQ(::ioctl(fd, SG_GET_VERSION_NUM, &value), 0);
  EXPECT_GE(value, 30000);
  value = 1;
  EXPECT_EQ(::ioctl(fd, SG_EMULATED_HOST, &value), 0);
  EXPECT_EQ(value, 0);
  value = 1 << 30;
  EXPECT_EQ(::ioctl(fd, SG_SET_RESERVED_SIZE, &value), 0);
  EXPECT_EQ(::ioctl(fd, SG_GET_RESERVED_SIZE, &value), 0);
  EXPECT_GT(value, 0);
  EXPECT_LT(value, 1 << 30) << "capped to what the host takes";
  value = -1;
  EXPECT_NE(::ioctl(fd, SG_SET_RESERVED_SIZE, &value), 0);
  EXPECT_GE(::ioctl(fd, SG_GET_TIMEOUT, nullptr), 0);

  // MODE SENSE (10) page 2Ah: CD-DA commands and an accurate stream; (6)
  // with its block descriptor; a page the drive lacks and saved values are
  // refused.
  Outcome o = scsi(fd, {0x5A, 0x08, 0x2A, 0, 0, 0, 0, 0, 0xFF, 0}, 255);
  ASSERT_EQ(o.status, 0);
  ASSERT_GE(o.data.size(), 8u + 16u);
  EXPECT_EQ(o.data[8] & 0x3F, 0x2A);
  EXPECT_EQ(o.data[8 + 5] & 0x03, 0x03);
  EXPECT_GT(o.data[8 + 8] << 8 | o.data[8 + 9], 176) << "a read speed above 1x";
  o = scsi(fd, {0x1A, 0x00, 0x2A, 0, 0xFF, 0}, 255);
  ASSERT_EQ(o.status, 0);
  ASSERT_GE(o.data.size(), 12u + 2u);
  EXPECT_EQ(o.data[3], 8) << "one block descriptor";
  EXPECT_EQ(o.data[12] & 0x3F, 0x2A);
  o = scsi(fd, {0x5A, 0x00, 0x3F, 0, 0, 0, 0, 0, 0x10, 0}, 0x10);
  EXPECT_EQ(o.data.size(), 0x10u) << "cut to the allocation length";
  const std::array<unsigned char, 3> invalidField{0x05, 0x24, 0x00};
  const std::vector<std::pair<std::vector<unsigned char>, std::array<unsigned char, 3>>> refusals = {
      {{0x5A, 0, 0x3E, 0, 0, 0, 0, 0, 0xFF, 0}, invalidField},    // no such page
      {{0x1A, 0, 0xEA, 0, 0xFF, 0}, {0x05, 0x39, 0x00}},          // saved values: saving not supported
      {{0x42, 0, 0x40, 0x07, 0, 0, 0, 0, 24, 0}, invalidField},   // no such sub-channel format
      {{0x42, 0, 0x40, 0x03, 0, 0, 9, 0, 24, 0}, invalidField}};  // ISRC of a track not on the disc
  for (const auto& [cdb, sense] : refusals) {
    o = scsi(fd, cdb, 255);
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.sense, sense) << std::hex << int(cdb[0]) << " " << int(cdb[2]);
  }

  // READ CD with expected sector type 0 ("any") and the direction both
  // ways, as cdparanoia asks: the image's audio; a data type on audio is
  // refused.
  o = scsi(fd, {0xBE, 0x00, 0, 0, 0x02, 0x58, 0, 0, 2, 0xF8, 0, 0}, 2 * kSector, SG_DXFER_TO_FROM_DEV);
  ASSERT_EQ(o.status, 0);
  EXPECT_TRUE(std::string(o.data.begin(), o.data.end()) == sectors(600, 2));
  o = scsi(fd, {0xBE, 0x08, 0, 0, 0, 0, 0, 0, 1, 0x10, 0, 0}, kSector);
  EXPECT_EQ(o.sense, (std::array<unsigned char, 3>{0x05, 0x64, 0x00}));
  // The position it left, then the codes.
  o = scsi(fd, {0x42, 0, 0x40, 0x01, 0, 0, 0, 0, 16, 0}, 16);
  ASSERT_EQ(o.data.size(), 16u);
  EXPECT_EQ(o.data[6], 2) << "track 2";
  EXPECT_EQ(o.data[8] << 24 | o.data[9] << 16 | o.data[10] << 8 | o.data[11], 601);
  o = scsi(fd, {0x42, 0, 0x40, 0x02, 0, 0, 0, 0, 24, 0}, 24);
  ASSERT_EQ(o.data.size(), 24u);
  EXPECT_EQ(o.data[8] & 0x80, 0x80);
  EXPECT_EQ(std::string(o.data.begin() + 9, o.data.begin() + 22), kCatalog);

  // A command the drive lacks: refused with sense, and counted, which is
  // what the client tests look for in the trace.
  o = scsi(fd, {0xFF, 0, 0, 0, 0, 0}, 0, SG_DXFER_NONE);
  EXPECT_EQ(o.sense, (std::array<unsigned char, 3>{0x05, 0x20, 0x00}));
  char text[4096];
  status(text, sizeof text);
  EXPECT_EQ(json::parse(text)["counts"].value("unanswered ff", 0), 1) << text;
  ::close(fd);
}

}  // namespace

int main(int argc, char** argv) { return emulated_drive::runPreloaded(argc, argv); }
