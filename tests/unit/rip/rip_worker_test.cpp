// The rip worker end to end on its own thread: a simulated drive of the real
// cdr.dll, the recording encoders of testencoders/record (every byte handed
// to Compress lands in the output file) and testencoders/record_faults, and
// an owner that records what it is told, in order.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>

#include <nlohmann/json.hpp>

#include "rondel/output/job_builder.h"
#include "rondel/rip/rip_worker.h"
#include "sdk/verify/accuraterip.h"
#include "sim_disc.h"
#include "support/run_command.h"

namespace {

using rip_test::counterBytes;
using rip_test::kSector;
using rip_test::SimDisc;
using Events = std::vector<std::string>;

// Called only on the worker thread; the test reads it after joining.
class RecordingOwner : public rondel::RipOwner {
 public:
  explicit RecordingOwner(std::uint32_t track) : track_(track) {}
  void setTrackStatus(std::uint32_t track, const char* text) override {
    events.push_back(track == track_ ? std::string(text) : "wrong track");
  }
  bool cancelRequested() const override { return ++polls_ > cancelAfterPolls; }
  void trackFileWritten(std::uint32_t track, const std::string& path) override {
    events.push_back("file " + path + (track == track_ ? "" : " (wrong track)"));
  }
  void trackChecked(std::uint32_t, const rondel::TrackChecks& c) override {
    checks.push_back(c);
    checkedAfterEvents = events.size();
  }
  void ripWorkerEnded() override { events.push_back("ended"); }
  bool pathWrittenBefore(const std::string& path) override { return written.count(path) > 0; }

  Events events;
  std::vector<rondel::TrackChecks> checks;
  std::size_t checkedAfterEvents = 0;  // events heard before the checks came
  // The paths an earlier job of the copy wrote (Windows form).
  std::set<std::string> written;
  // Cancel is clicked right after this many polls (so while the worker
  // waits for the next block).
  int cancelAfterPolls = INT_MAX;

 private:
  const std::uint32_t track_;
  mutable int polls_ = 0;
};

struct Job {
  std::uint32_t start = 0, count = 0;
  bool resync = false;
  std::uint32_t encoder = 2;  // pcm.dll: the plain InitCompress
  std::string name = "01 Title";
  bool tagFields = true;
  std::uint32_t readableEnd = 0;  // 0: the track's end
  bool firstAudio = false, lastAudio = false;
};

class RipWorkerTest : public ::testing::Test {
 protected:
  // Runs the job on a thread of its own, as the job starter does, and
  // returns what the owner heard.
  Events rip(SimDisc& disc, const Job& j, RecordingOwner* owner = nullptr) {
    RecordingOwner local(7);
    RecordingOwner& o = owner != nullptr ? *owner : local;
    auto context = std::make_unique<rondel::RipWorkerContext>();
    context->owner = &o;
    context->trackNumber = 7;
    context->startSector = j.start;
    context->sectorCount = j.count;
    context->readableEndSector = j.readableEnd;
    context->resync = j.resync;
    context->audioIndex = 3;
    context->firstAudioTrack = j.firstAudio;
    context->lastAudioTrack = j.lastAudio;
    context->encoderIndex = j.encoder;
    context->encoderSetting = 8;
    context->deviceIndex = 0;
    // Built from the disc in the drive now, as the copy commands do.
    if (rondel::CdDrive* drive = rondel::driveAt(0)) drive->readToc(context->discToc);
    context->outputPath = windowsOut(disc, j.name);
    context->outputFolder = platform::toWindowsPath(disc.dir().path() + "/Music/Artist") + "\\";
    if (j.tagFields) {
      context->title = "Title";
      context->tagTrackNumber = 7;
      context->artist = "Artist";
      context->album = "Album";
      context->year = "1999";
      context->genre = "Rock";
      context->comment = "ripped";
      rondel::addJobTags(*context);
    }
    o.checks.clear();
    std::thread worker(rondel::RipWorker, std::move(context));
    worker.join();
    lastChecks = o.checks;
    checkedBefore = !o.checks.empty() && o.checkedAfterEvents < o.events.size() ? o.events[o.checkedAfterEvents] : "";
    return o.events;
  }

  // The checks the last job's owner heard, and the status that came right
  // after them.
  std::vector<rondel::TrackChecks> lastChecks;
  std::string checkedBefore;

  // The library's checksums of `bytes` for a track of that length.
  static std::string checksumsOf(const std::vector<std::uint8_t>& bytes, bool first, bool last) {
    verify::TrackChecksums sums(static_cast<std::uint32_t>(bytes.size() / 4), first, last);
    sums.add(bytes.data(), bytes.size());
    return verify::hex8(sums.crc32()) + " " + verify::hex8(sums.accurateRipV1()) + " " +
           verify::hex8(sums.accurateRipV2());
  }
  std::string lastChecksText() const {
    if (lastChecks.size() != 1) return "<" + std::to_string(lastChecks.size()) + " checks>";
    const rondel::TrackChecks& c = lastChecks[0];
    return verify::hex8(c.crc32) + " " + verify::hex8(c.accurateRipV1) + " " + verify::hex8(c.accurateRipV2);
  }

  static std::string nativeOut(const SimDisc& disc, const std::string& name) {
    return disc.dir().path() + "/Music/Artist/" + name;
  }
  static std::string windowsOut(const SimDisc& disc, const std::string& name) {
    return platform::toWindowsPath(disc.dir().path() + "/Music/Artist") + "\\" + name;
  }
  static std::vector<std::uint8_t> audioOf(const std::string& path) {
    const std::string bytes = testing_support::readFile(path);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  }
  // The status a job ended with (the owner's last call is "ended").
  static std::string finalStatus(const Events& events) {
    return events.size() >= 2 ? events[events.size() - 2] : "<none>";
  }
  // What the recording library `file` (already loaded) has logged.
  static std::string encoderLog(const std::string& file) {
    void* handle = dlopen((testing_support::binDir() + "/testencoders/record/" + file).c_str(),
                          RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) return "<not loaded>";
    const std::string log = reinterpret_cast<const char* (*)()>(dlsym(handle, "FakeEnc_Log"))();
    dlclose(handle);
    return log;
  }
  // The statuses a job shows on its way to `end`, copying progress aside.
  static Events endedWith(const char* end) { return {"Copying 0%...", end, "ended"}; }
};

TEST_F(RipWorkerTest, HundredSectorTrack_ProgressSteps_BitExactFile_Id3v1OnlyForMp3) {
  SimDisc disc(R"("tracks": [{"sectors": 300}, {"sectors": 100}], "audio": {"generator": "counter"})");
  ASSERT_TRUE(disc.ready());
  disc.loadEncoders("record");

  const Events events = rip(disc, {300, 100, false, 0});
  const std::string mp3 = windowsOut(disc, "01 Title.mp3");
  EXPECT_EQ(events, (Events{"Copying 0%...", "Copying 12%...", "Copying 24%...", "Copying 36%...",
                            "Copying 48%...", "Copying 60%...", "Copying 72%...", "Copying 84%...",
                            "Copying 96%...", "Copying 100%...", "file " + mp3, "Copied", "ended"}));
  // The folders were made; the file is the audio, then the ID3v1 tag.
  std::vector<std::uint8_t> file = audioOf(nativeOut(disc, "01 Title.mp3"));
  ASSERT_EQ(file.size(), 100 * kSector + 128);
  EXPECT_EQ(std::string(file.end() - 128, file.end() - 125), "TAG");
  // The job's own fields (the road test reads the whole tag back).
  EXPECT_EQ(std::string(file.end() - 125, file.end() - 120), "Title");
  EXPECT_EQ(file.back(), 17) << "genre Rock";
  file.resize(100 * kSector);
  EXPECT_TRUE(file == counterBytes(300, 100));
  // Every sample the encoder got went into the checksums, which came just
  // before "Copied"; the track's place decides what the AccurateRip sums
  // leave out.
  EXPECT_EQ(lastChecksText(), checksumsOf(counterBytes(300, 100), false, false));
  EXPECT_EQ(checkedBefore, "Copied");
  EXPECT_EQ(lastChecks[0].audioIndex, 3u);
  Job last{300, 100, true, 2, "04 Last"};
  last.lastAudio = true;
  ASSERT_EQ(finalStatus(rip(disc, last)), "Copied");
  EXPECT_EQ(lastChecksText(), checksumsOf(counterBytes(300, 100), false, true));
  EXPECT_NE(lastChecksText(), checksumsOf(counterBytes(300, 100), false, false));
  Job first{0, 9, false, 2, "05 First"};
  first.firstAudio = first.lastAudio = true;  // shorter than the ten sectors both ends leave out
  ASSERT_EQ(finalStatus(rip(disc, first)), "Copied");
  EXPECT_EQ(lastChecksText(), checksumsOf(counterBytes(0, 9), true, true));

  // Ogg (through the ID3v2 opening as well) and WAV files get no ID3v1 tag.
  for (std::uint32_t encoder : {1u, 2u}) {
    const std::string name = encoder == 1 ? "02 Ogg" : "03 Wav";
    const std::string file = nativeOut(disc, name + (encoder == 1 ? ".ogg" : ".wav"));
    const Events e = rip(disc, {300, 10, true, encoder, name});
    EXPECT_EQ(e, (Events{"Copying 0%...", "Copying 100%...",
                         "file " + windowsOut(disc, name) + (encoder == 1 ? ".ogg" : ".wav"),
                         "Copied", "ended"}));
    EXPECT_TRUE(audioOf(file) == counterBytes(300, 10)) << "a one-block track, read plainly";
  }
}

TEST_F(RipWorkerTest, OutputPath_OutsideItsFolderCreatesNothing_AWrittenNameIsNumbered) {
  SimDisc disc(R"("tracks": [{"sectors": 30}])");
  ASSERT_TRUE(disc.ready());
  disc.loadEncoders("record");
  const std::string& dir = disc.dir().path();
  // Climbing above the job's folder, to a sibling or above the disc's
  // temporary folder: refused before any folder is made or the disc read.
  for (const char* name : {"..\\..\\Made\\x", "..\\Sibling\\x", "sub\\..\\..\\x", "..\\Artist"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(rip(disc, {0, 30, false, 2, name}), endedWith(rondel::kStatusOutsideFolder));
  }
  EXPECT_FALSE(std::filesystem::exists(dir + "/Made"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/Music/Sibling"));
  EXPECT_FALSE(std::filesystem::exists(dir + "/Music/x.wav"));
  // A ".." that stays inside is the mapping's to resolve, as ever.
  EXPECT_EQ(finalStatus(rip(disc, {0, 30, false, 2, "sub\\..\\in"})), "Copied");
  EXPECT_TRUE(std::filesystem::exists(nativeOut(disc, "in.wav")));

  // A path an earlier job of the copy wrote gets " (2)", then " (3)".
  RecordingOwner owner(7);
  owner.written = {windowsOut(disc, "in"), windowsOut(disc, "in (2)")};
  const Events events = rip(disc, {0, 30, false, 2, "in"}, &owner);
  EXPECT_EQ(events[events.size() - 3], "file " + windowsOut(disc, "in (3).wav"));
  EXPECT_TRUE(std::filesystem::exists(nativeOut(disc, "in (3).wav")));
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "in (2).wav")));
  // Folders that leave no room for " (2)": the job ends saying why, and
  // makes nothing.
  const std::string folder(rondel::kMaxJobPath - windowsOut(disc, "").size() - 2, 'F');
  owner.written = {windowsOut(disc, folder + "\\x")};
  ASSERT_EQ(owner.written.begin()->size(), rondel::kMaxJobPath);
  owner.events.clear();
  EXPECT_EQ(rip(disc, {0, 30, false, 2, folder + "\\x"}, &owner), endedWith(rondel::kStatusNameTaken));
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, folder)));
}

TEST_F(RipWorkerTest, StreamOpening_Id3v2ThenFieldsThenPlain_AndEmptySlotsFailLikeARefusal) {
  SimDisc disc(R"("tracks": [{"sectors": 30}])");
  ASSERT_TRUE(disc.ready());
  disc.loadEncoders("record");
  struct Case {
    std::uint32_t encoder;
    bool tagFields;
    const char* opening;  // the first word the library logged, or nullptr
  };
  const Case cases[] = {
      {0, true, "InitCompress2"},
      {0, false, "InitCompress3"},  // nothing to render: the fields variant
      {2, true, "InitCompress"},    // a library with neither variant
      {3, true, nullptr},           // empty slot
      {rondel::kNoEncoder, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.encoder);
    Job job{0, 30, false, c.encoder};
    job.tagFields = c.tagFields;
    const Events events = rip(disc, job);
    if (c.opening == nullptr) {
      EXPECT_EQ(events, endedWith(rondel::kStatusInitCompressFailed));
      continue;
    }
    EXPECT_EQ(finalStatus(events), "Copied");
  }
  // The library's own log names the variant it was opened with.
  for (const Case& c : cases) {
    if (c.opening == nullptr) continue;
    const std::string log = encoderLog(c.encoder == 0 ? "lame.dll" : "pcm.dll");
    EXPECT_NE(log.find(std::string("\n") + c.opening + " "), std::string::npos) << log;
  }
}

TEST_F(RipWorkerTest, Resync_JitteryDrives_EncoderGetsAnUnbrokenRunOfTheDisc) {
  // Counter audio: any shift shows. Each track is a run of the disc that
  // starts where the drive's first read of it did, without a gap, a repeat
  // or a zero, also at the disc's end, and none fails, up to three sectors
  // of jitter. (Whole-sector shifts, also at the disc's start: the next test.)
  struct Case {
    std::string jitter;
    std::int64_t expectedShift;  // of the first frame, in bytes; INT64_MIN: any within the jitter
  };
  std::vector<Case> cases = {{R"(, "jitter": {"bytes": 1176})", 1176}};
  for (int seed = 1; seed <= 6; ++seed)
    cases.push_back({R"(, "jitter": {"max_bytes": 7056, "seed": )" + std::to_string(seed) + "}",
                     INT64_MIN});
  const std::uint32_t tracks[][2] = {{0, 300}, {300, 100}, {400, 25}};
  for (const Case& c : cases) {
    SimDisc disc(R"("tracks": [{"sectors": 300}, {"sectors": 100}, {"sectors": 25}],)"
                 R"( "audio": {"generator": "counter"})" + c.jitter);
    ASSERT_TRUE(disc.ready());
    disc.loadEncoders("record");
    for (const auto& [start, count] : tracks) {
      SCOPED_TRACE(testing::Message() << c.jitter << " track " << start << "+" << count);
      Job job{start, count, true, 2};
      job.readableEnd = 425;
      const Events events = rip(disc, job);
      EXPECT_EQ(finalStatus(events), "Copied");
      const std::vector<std::uint8_t> audio = audioOf(nativeOut(disc, "01 Title.wav"));
      ASSERT_EQ(audio.size(), count * kSector);
      std::uint32_t first = 0;
      std::size_t zeros = 0;
      rip_test::expectUnbrokenRun(audio, first, zeros);
      const std::int64_t shift = (std::int64_t{first} - std::int64_t{start} * 588) * 4;
      // Only what lies past the lead-out (a late run on the last track) is zeros.
      const std::int64_t pastEnd = std::int64_t{start + count} * kSector + shift - 425 * kSector;
      EXPECT_EQ(zeros, static_cast<std::size_t>(std::max<std::int64_t>(pastEnd, 0)));
      if (c.expectedShift == INT64_MIN)
        EXPECT_LE(std::abs(shift), 7056);
      else
        EXPECT_EQ(shift, c.expectedShift);
    }
  }
}

// A disc mkdisc made with what makes overlapped reads ambiguous: digital
// silence across block boundaries, at a track's start and end and across a
// track boundary, pure tones without dither, a short last track.
TEST_F(RipWorkerTest, Resync_SilenceAndPureTones_EveryTrackIsExactlyWhatTheDriveStreams) {
  testing_support::TempDir made;
  const char* source = std::getenv("RONDEL_SOURCE_DIR");
  const auto r = testing_support::runCommand(
      {testing_support::binDir() + "/mkdisc",
       std::string(source != nullptr ? source : "") + "/tests/data/discs/ambiguous.json", "--out",
       made.path(), "--json"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const nlohmann::json layout = nlohmann::json::parse(r.out);
  const std::string image = testing_support::readFile(layout["bin"].get<std::string>());
  const auto leadOut = layout["leadout"].get<std::uint32_t>();
  std::string trackJson;
  for (const auto& t : layout["tracks"])
    trackJson += (trackJson.empty() ? "" : ", ") + std::string(R"({"sectors": )") +
                 std::to_string(t["sectors"].get<std::uint32_t>()) + "}";

  // The image's bytes from byte `from` (zeros outside the disc).
  const auto discBytes = [&](std::int64_t from, std::size_t bytes) {
    std::vector<std::uint8_t> out(bytes, 0);
    for (std::size_t i = 0; i < bytes; ++i) {
      const std::int64_t at = from + static_cast<std::int64_t>(i);
      if (at >= 0 && at < static_cast<std::int64_t>(image.size()))
        out[i] = static_cast<std::uint8_t>(image[static_cast<std::size_t>(at)]);
    }
    return out;
  };
  // Whether `audio` is the image's bytes from byte `from` (zeros outside).
  const auto matchesDisc = [&](const std::vector<std::uint8_t>& audio, std::int64_t from) {
    for (std::size_t i = 0; i < audio.size(); ++i) {
      const std::int64_t at = from + static_cast<std::int64_t>(i);
      const bool inside = at >= 0 && at < static_cast<std::int64_t>(image.size());
      if (audio[i] != (inside ? static_cast<std::uint8_t>(image[static_cast<std::size_t>(at)]) : 0))
        return false;
    }
    return true;
  };
  // The drive's shift for a read, moved towards 0 so that it stays on the disc.
  const auto onDisc = [&](std::int64_t shift, std::uint32_t lba, std::uint32_t n) {
    const std::int64_t from = std::int64_t{lba} * kSector + shift;
    const std::int64_t end = std::int64_t{lba + n} * kSector + shift;
    if (from < 0) return shift - from;
    if (end > std::int64_t{leadOut} * kSector) return shift - (end - std::int64_t{leadOut} * kSector);
    return shift;
  };

  struct Drive {
    std::string jitter;
    std::int64_t shift;  // INT64_MIN: random
  };
  std::vector<Drive> drives = {{"", 0}};
  for (const int sectors : {1, -1, 2, -2, 3, -3})
    drives.push_back({R"(, "jitter": {"bytes": )" + std::to_string(sectors * 2352) + "}",
                      std::int64_t{sectors} * kSector});
  for (const int seed : {1, 2, 3})
    drives.push_back({R"(, "jitter": {"max_bytes": 7056, "seed": )" + std::to_string(seed) + "}",
                      INT64_MIN});
  for (const Drive& d : drives) {
    SimDisc disc(R"("tracks": [)" + trackJson + R"(], "audio": {"file": ")" +
                 layout["bin"].get<std::string>() + R"("})" + d.jitter);
    ASSERT_TRUE(disc.ready());
    disc.loadEncoders("record");
    for (const bool resync : {false, true}) {
      if (d.shift == INT64_MIN && !resync) continue;  // plain reads of a jittery drive: nothing to hold
      for (const auto& t : layout["tracks"]) {
        const auto start = t["start"].get<std::uint32_t>();
        const auto count = t["sectors"].get<std::uint32_t>();
        SCOPED_TRACE(testing::Message() << d.jitter << (resync ? " resync" : " plain") << " track "
                                        << t["number"]);
        Job job{start, count, resync, 2};
        job.readableEnd = leadOut;
        const Events events = rip(disc, job);
        ASSERT_EQ(finalStatus(events), "Copied");
        const std::vector<std::uint8_t> audio = audioOf(nativeOut(disc, "01 Title.wav"));
        if (d.shift == INT64_MIN) {
          // The stream starts wherever the first read did: one unbroken
          // run of the disc from some shift within the jitter.
          bool found = false;
          for (std::int64_t s = -7056; s <= 7056 && !found; s += 4)
            found = matchesDisc(audio, std::int64_t{start} * kSector + s);
          EXPECT_TRUE(found) << "not a run of the disc";
          continue;
        }
        std::vector<std::uint8_t> expected;
        if (resync) {
          // One run from where the first block's plain read began.
          const std::uint32_t firstBlock = std::min(count, 12u);
          expected = discBytes(std::int64_t{start} * kSector + onDisc(d.shift, start, firstBlock),
                               std::size_t{count} * kSector);
        } else {
          for (std::uint32_t at = start; at < start + count; at += 12) {
            const std::uint32_t n = std::min(12u, start + count - at);
            const auto block = discBytes(std::int64_t{at} * kSector + onDisc(d.shift, at, n),
                                         std::size_t{n} * kSector);
            expected.insert(expected.end(), block.begin(), block.end());
          }
        }
        ASSERT_EQ(audio.size(), expected.size());
        EXPECT_TRUE(audio == expected) << "not what the drive streams";
      }
    }
  }
}

TEST_F(RipWorkerTest, ReadFailures_FewerThanFiveAttemptsRecover_FiveFailTheJobButNotTheNext) {
  SimDisc disc(R"("tracks": [{"sectors": 300}, {"sectors": 100}], "audio": {"generator": "counter"},)"
               R"( "read_failures": [{"sector": 305, "attempts": 4}, {"sector": 330, "attempts": 5},)"
               R"( {"sector": 200, "attempts": 5}])");
  ASSERT_TRUE(disc.ready());
  disc.loadEncoders("record");
  // 4 failures in all at sector 305: the fifth attempt reads it.
  Events events = rip(disc, {300, 24, false, 2, "a"});
  EXPECT_EQ(events.back(), "ended");
  EXPECT_EQ(finalStatus(events), "Copied");
  EXPECT_TRUE(audioOf(nativeOut(disc, "a.wav")) == counterBytes(300, 24));

  // 5 at sector 330, in an overlapped middle block: the job fails, the
  // stream is abandoned (no file), and the reader is gone.
  events = rip(disc, {300, 100, true, 2, "b"});
  EXPECT_EQ(events.front(), "Copying 0%...");
  EXPECT_EQ(finalStatus(events), rondel::kStatusReadFailed);
  EXPECT_EQ(events.back(), "ended");
  EXPECT_EQ(std::count(events.begin(), events.end(), "ended"), 1);
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "b.wav")));

  // The same at sector 200 in a plain first block; then the next job runs.
  EXPECT_EQ(rip(disc, {195, 10, false, 2, "c"}), endedWith(rondel::kStatusReadFailed));
  events = rip(disc, {300, 100, true, 2, "d"});
  EXPECT_EQ(finalStatus(events), "Copied");
  EXPECT_TRUE(audioOf(nativeOut(disc, "d.wav")) == counterBytes(300, 100));
}

TEST_F(RipWorkerTest, Failures_EachEndsWithItsStatusThenTheOwnerOnce_AndTheNextJobRuns) {
  SimDisc disc(R"("tracks": [{"sectors": 300}, {"sectors": 100}], "audio": {"generator": "counter"})");
  ASSERT_TRUE(disc.ready());
  disc.loadEncoders("record_faults");
  // lame.dll refuses every opening; ogg.dll fails its third Compress; pcm.dll
  // cannot publish its file at the finished close.
  EXPECT_EQ(rip(disc, {300, 100, false, 0, "a"}), endedWith(rondel::kStatusInitCompressFailed));
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "a.mp3")));
  EXPECT_TRUE(lastChecks.empty()) << "a failed track has no checksums";

  Events events = rip(disc, {300, 100, false, 1, "b"});
  EXPECT_EQ(events, (Events{"Copying 0%...", "Copying 12%...", "Copying 24%...",
                            rondel::kStatusCompressFailed, "ended"}));
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "b.ogg")));

  // Not published: no file, no ID3v1 tag, no file reported, and not "Copied".
  events = rip(disc, {300, 100, true, 2, "c"});
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[events.size() - 3], "Copying 100%...");
  EXPECT_EQ(finalStatus(events), rondel::kStatusCompressFailed);
  EXPECT_EQ(events.back(), "ended");
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "c.wav")));
  EXPECT_TRUE(lastChecks.empty()) << "read whole but not published: no checksums";

  // A range past 32 bits cannot be read: the reader does not start.
  EXPECT_EQ(rip(disc, {0xFFFFFFF0u, 0x20, false, 1, "d"}),
            endedWith(rondel::kStatusBeginCddaFailed));

  // No drive buffer to be had for the ring.
  {
    rip_test::TakenDriveBuffers taken;
    EXPECT_EQ(rip(disc, {300, 100, false, 1, "e"}), endedWith(rondel::kStatusInitCddaFailed));
  }

  // And the queue goes on: two blocks stay below ogg.dll's third Compress.
  events = rip(disc, {300, 24, true, 1, "f"});
  EXPECT_EQ(finalStatus(events), "Copied");
  EXPECT_TRUE(audioOf(nativeOut(disc, "f.ogg")) == counterBytes(300, 24));
}

TEST_F(RipWorkerTest, Cancel_WhileWaiting_TheArrivingBlockIsCompressed_ALastBlockStillEndsCopied) {
  SimDisc disc(R"("tracks": [{"sectors": 300}, {"sectors": 100}], "audio": {"generator": "counter"})");
  ASSERT_TRUE(disc.ready());
  disc.loadEncoders("record");
  {
    RecordingOwner owner(7);
    owner.cancelAfterPolls = 1;
    EXPECT_EQ(rip(disc, {300, 100, true, 2, "a"}, &owner),
              (Events{"Copying 0%...", "Copying 12%...", rondel::kStatusCancelled, "ended"}));
    EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "a.wav")));
    EXPECT_TRUE(lastChecks.empty()) << "a cancelled track has no checksums";
  }
  {
    RecordingOwner owner(7);
    owner.cancelAfterPolls = 1;
    const Events events = rip(disc, {300, 12, true, 2, "b"}, &owner);
    EXPECT_EQ(events, (Events{"Copying 0%...", "Copying 100%...",
                              "file " + windowsOut(disc, "b.wav"), "Copied", "ended"}));
  }
  {
    RecordingOwner owner(7);
    owner.cancelAfterPolls = 0;  // cancelled before the first block
    EXPECT_EQ(rip(disc, {300, 100, false, 2, "c"}, &owner), endedWith(rondel::kStatusCancelled));
  }
  const std::string log = encoderLog("pcm.dll");
  // Job a: one block compressed, then abandoned; b: finished; c: nothing.
  const auto count = [&](const std::string& prefix) {
    std::size_t n = 0;
    for (std::size_t at = log.find(prefix); at != std::string::npos; at = log.find(prefix, at + 1))
      n += at == 0 || log[at - 1] == '\n';
    return n;
  };
  EXPECT_EQ(count("Compress "), 2u) << log;
  EXPECT_EQ(count("DeinitCompress 0 "), 2u) << log;
  EXPECT_EQ(count("DeinitCompress 1 "), 1u) << log;
}

}  // namespace
