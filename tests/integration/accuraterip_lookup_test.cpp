// The copy checks through the real rondel.qom: a disc made by mkdisc, its
// freedb entry and AccurateRip database file served by the real
// cddb-server, ripped in the headless window; then the lookup off, a disc
// the database lacks, a lookup that ends after the copy, and hostile
// AccurateRip servers (hostile_cddb.py), none of which touch the rip.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "lookup_fixture.h"
#include "support/run_command.h"

using namespace testing_support;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

// Three short audio tracks and a data track last, so the last audio track
// is not the disc's last.
constexpr const char* kDescription = R"({
  "artist": "The Verified", "album": "Bit for Bit", "category": "misc", "seed": 23,
  "tracks": [
    {"title": "One", "kind": "noise", "amplitude": 0.3, "seconds": 2},
    {"title": "Two", "kind": "tone", "frequencies": [440, 660], "amplitude": 0.4, "seconds": 2},
    {"title": "Three", "kind": "noise", "amplitude": 0.2, "seconds": 2},
    {"title": "Data", "kind": "data", "seconds": 2}]})";
constexpr int kConfidence = 12;

// Connect 1 s, silence 1 s, one request 2 s, the whole lookup 3 s.
const char kTimeouts[] = "1000,1000,2000,3000";

struct MadeDisc {
  TempDir dir;
  nlohmann::json layout;
  std::string arRelative;  // the database file below dir/ar

  MadeDisc() {
    const auto made = runCommand({binDir() + "/mkdisc", dir.write("disc.json", kDescription), "--out",
                                  dir.file("disc"), "--freedb", dir.file("freedb"), "--accuraterip",
                                  dir.file("ar"), "--accuraterip-confidence", std::to_string(kConfidence),
                                  "--json"});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    layout = nlohmann::json::parse(made.out, nullptr, false);
    if (layout.is_object() && layout["accuraterip"].is_string())
      arRelative = fs::relative(layout["accuraterip"].get<std::string>(), dir.file("ar")).string();
  }
  DrivesJson drive() const {
    return {R"({"drives": [{"type": "image", "name": "Made", "path": ")" + layout["cue"].get<std::string>() +
            R"("}]})"};
  }
  // The CRC-32 of audio track `n` as it lies in the image (zlib over the
  // BIN's bytes, apart from the component's own code).
  std::string imageCrc(int n) const {
    const std::string bin = readFile(layout["bin"].get<std::string>());
    const auto& t = layout["tracks"][n - 1];
    const auto& next = layout["tracks"][n];
    const std::size_t from = t["start"].get<std::size_t>() * 2352;
    const std::size_t to = next["start"].get<std::size_t>() * 2352;
    const auto crc = ::crc32(0, reinterpret_cast<const Bytef*>(bin.data() + from), static_cast<uInt>(to - from));
    char text[9];
    std::snprintf(text, sizeof text, "%08lx", crc);
    return text;
  }
};

class CheckedRip : public RipFixture {
 public:
  CheckedRip(const DrivesJson& drives, const std::string& freedbServer, const char* timeouts = kTimeouts)
      : RipFixture(drives), timeouts_("RONDEL_LOOKUP_TIMEOUTS", timeouts) {
    set("Use Freedb", "1");
    set("Freedb Server", freedbServer);
    set("EMail", "checks@example.org");
  }
  std::string property(const std::string& key) { return window()->property(key); }
  bool runUntilStatus(const std::string& text) { return runUntil([&] { return status().text() == text; }); }
  bool waitLookup() { return runUntil([&] { return property("accuraterip.lookup") != "pending"; }); }
  // Copies every row and waits until the copy has ended.
  bool copyAll() { return button("Copy All").userClick() && waitIdle(); }

 private:
  ScopedEnv timeouts_;
};

std::string arUrl(const CddbServer& server) { return "http://" + server.address() + "/accuraterip/"; }

TEST(AccurateRipLookup, AMadeDiscRipsAccurateAgainstTheServedFile) {
  MadeDisc disc;
  ASSERT_FALSE(disc.arRelative.empty());
  CddbServer server({"--accuraterip", disc.dir.file("ar")});
  ASSERT_TRUE(server.running());
  const std::string id = disc.layout["discid"];
  server.add("misc", id, readFile(disc.layout["entry"].get<std::string>()));
  ScopedEnv url("RONDEL_ACCURATERIP_URL", arUrl(server));

  CheckedRip f(disc.drive(), server.address());
  ASSERT_TRUE(f.showAndTick());
  // The ids are there at once; the file is fetched beside the entry.
  EXPECT_EQ(f.property("accuraterip.path"), disc.arRelative);
  EXPECT_EQ(disc.arRelative.substr(6, 9), "dBAR-003-") << "the data track does not count";
  EXPECT_EQ(f.property("accuraterip.freedb"), id);
  EXPECT_EQ(f.property("accuraterip.id1"), disc.arRelative.substr(15, 8));
  ASSERT_TRUE(f.waitLookup());
  ASSERT_EQ(f.property("accuraterip.lookup"), "found") << f.property("accuraterip.error");
  EXPECT_EQ(f.property("accuraterip.file").size(), 2 * (13 + 9 * 3u));
  ASSERT_TRUE(f.runUntilStatus("Ready"));
  EXPECT_EQ(f.column(rondel::window::kColumnTrack), (std::vector<std::string>{"One", "Two", "Three"}));

  ASSERT_TRUE(f.copyAll());
  for (int n = 1; n <= 3; ++n) {
    SCOPED_TRACE("track " + std::to_string(n));
    EXPECT_EQ(f.property("rip.status." + std::to_string(n)), "Copied");
    EXPECT_EQ(f.property("rip.accuraterip." + std::to_string(n)), "accurate 12 12 v2");
    EXPECT_EQ(f.property("rip.crc32." + std::to_string(n)), disc.imageCrc(n));
    EXPECT_EQ(f.property("rip.arv2." + std::to_string(n)).size(), 8u);
  }
  // Queued again: the row's old results go until the new ones come.
  f.list().selectOnly(0);
  ASSERT_TRUE(f.button("Copy Selected").userClick());
  EXPECT_EQ(f.property("rip.crc32.1"), "");
  EXPECT_EQ(f.property("rip.accuraterip.1"), "");
  ASSERT_TRUE(f.waitIdle());
  EXPECT_EQ(f.property("rip.accuraterip.1"), "accurate 12 12 v2");
}

TEST(AccurateRipLookup, OffNotFoundAndALateAnswerGiveTheirVerdicts) {
  MadeDisc disc;
  ASSERT_FALSE(disc.arRelative.empty());
  const std::string id = disc.layout["discid"];
  const std::string entry = readFile(disc.layout["entry"].get<std::string>());
  {
    // Switched off: the ids stay, the lookup is "off", no track is checked.
    CddbServer server;
    server.add("misc", id, entry);
    ScopedEnv url("RONDEL_ACCURATERIP_URL", "");
    CheckedRip f(disc.drive(), server.address());
    ASSERT_TRUE(f.showAndTick());
    EXPECT_EQ(f.property("accuraterip.lookup"), "off");
    EXPECT_EQ(f.property("accuraterip.path"), disc.arRelative);
    f.list().selectOnly(1);
    ASSERT_TRUE(f.button("Copy Selected").userClick() && f.waitIdle());
    EXPECT_EQ(f.property("rip.accuraterip.2"), "not_checked");
    EXPECT_EQ(f.property("rip.crc32.2"), disc.imageCrc(2));
    EXPECT_EQ(server.requests().find("/accuraterip/"), std::string::npos) << server.requests();
  }
  {
    // The server has no file for the disc: a 404 is "not in the database".
    CddbServer server({"--accuraterip", disc.dir.path()});
    ScopedEnv url("RONDEL_ACCURATERIP_URL", arUrl(server));
    CheckedRip f(disc.drive(), server.address());
    ASSERT_TRUE(f.showAndTick() && f.waitLookup());
    EXPECT_EQ(f.property("accuraterip.lookup"), "not_found");
    f.list().selectOnly(0);
    ASSERT_TRUE(f.button("Copy Selected").userClick() && f.waitIdle());
    EXPECT_EQ(f.property("rip.accuraterip.1"), "not_found");
  }
  {
    // Every reply comes late: the track is copied before the file arrives,
    // so its verdict says "not_checked" first and is then updated. (The
    // silence bound leaves room for the delay.)
    CddbServer server({"--accuraterip", disc.dir.file("ar"), "--delay", "2500"});
    ScopedEnv url("RONDEL_ACCURATERIP_URL", arUrl(server));
    CheckedRip f(disc.drive(), server.address(), "1000,5000,8000,10000");
    ASSERT_TRUE(f.showAndTick());
    f.list().selectOnly(2);
    ASSERT_TRUE(f.button("Copy Selected").userClick() && f.waitIdle());
    EXPECT_EQ(f.property("accuraterip.lookup"), "pending");
    EXPECT_EQ(f.property("rip.accuraterip.3"), "not_checked");
    ASSERT_TRUE(f.waitLookup());
    EXPECT_EQ(f.property("accuraterip.lookup"), "found");
    EXPECT_EQ(f.property("rip.accuraterip.3"), "accurate 12 12 v2");
  }
}

class HostileAccurateRip {
 public:
  explicit HostileAccurateRip(const std::string& mode) {
    const char* source = std::getenv("RONDEL_SOURCE_DIR");
    process_ = std::make_unique<BackgroundProcess>(
        std::vector<std::string>{findProgram("python3"),
                                 std::string(source ? source : ".") + "/tests/integration/hostile_cddb.py",
                                 "--mode", mode},
        dir_.file("responder.out"));
    port_ = process_->listeningPort();
  }
  bool running() const { return port_ > 0; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  TempDir dir_;
  std::unique_ptr<BackgroundProcess> process_;
  int port_ = 0;
};

// Each mode's lookup fails within its bounds (connect 0.5 s, silence 0.5 s,
// one request 1.5 s, the whole lookup 2 s) with nothing kept, and the rip
// of both tracks goes on unchecked.
void expectFailedLookupAndPlainRip(const char* mode) {
  SCOPED_TRACE(mode);
  const DrivesJson drive = drives({simDrive("SIM", tracks({60, 45}), kSine)});
  HostileAccurateRip server(mode);
  ASSERT_TRUE(server.running());
  ScopedEnv url("RONDEL_ACCURATERIP_URL", "http://" + server.address() + "/accuraterip");
  CheckedRip f(drive, server.address(), "500,500,1500,2000");
  const auto started = Clock::now();
  ASSERT_TRUE(f.showAndTick());
  ASSERT_TRUE(f.copyAll());
  ASSERT_TRUE(f.waitLookup());
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  // The lookup's deadline and room for a sanitizer build.
  EXPECT_LT(seconds, 2.0 + 3.0);
  EXPECT_EQ(f.property("accuraterip.lookup"), "failed");
  EXPECT_NE(f.property("accuraterip.error"), "");
  EXPECT_EQ(f.property("accuraterip.file"), "");
  for (int n = 1; n <= 2; ++n) {
    EXPECT_EQ(f.property("rip.status." + std::to_string(n)), "Copied");
    EXPECT_EQ(f.property("rip.crc32." + std::to_string(n)).size(), 8u);
    EXPECT_EQ(f.property("rip.accuraterip." + std::to_string(n)), "not_checked");
  }
}

TEST(AccurateRipLookup, MalformedFilesAreRefusedWholeAndLeaveTheRipAlone) {
  REQUIRE_TOOLS("python3");
  for (const char* mode : {"ar-truncated", "ar-oversized", "ar-wrong-ids", "ar-html"})
    expectFailedLookupAndPlainRip(mode);
}

TEST(AccurateRipLookup, ServersHoldingTheReplyEndWithinTheDeadlineAndLeaveTheRipAlone) {
  REQUIRE_TOOLS("python3");
  for (const char* mode : {"ar-held", "ar-trickle"}) expectFailedLookupAndPlainRip(mode);
}

}  // namespace
