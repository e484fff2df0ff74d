// The rip worker end to end on its own thread: a simulated drive of the real
// cdr.dll, the recording encoders of testencoders/record (every byte handed
// to Compress lands in the output file) and testencoders/record_faults, and
// an owner that records what it is told, in order.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "rondel/rip/rip_worker.h"
#include "sim_disc.h"
#include "support/run_command.h"

namespace {

using rip_test::counterAudio;
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
  void ripWorkerEnded() override { events.push_back("ended"); }

  Events events;
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
    context->resync = j.resync;
    context->encoderIndex = j.encoder;
    context->encoderSetting = 8;
    context->deviceIndex = 0;
    // Built from the disc in the drive now, as the copy commands do.
    if (rondel::CdDrive* drive = rondel::driveAt(0)) drive->readToc(context->discToc);
    context->outputPath = windowsOut(disc, j.name);
    if (j.tagFields) {
      context->title = "Title";
      context->tagTrackNumber = 7;
      context->artist = "Artist";
      context->album = "Album";
      context->year = "1999";
      context->genre = "Rock";
      context->comment = "ripped";
    }
    std::thread worker(rondel::RipWorker, std::move(context));
    worker.join();
    return o.events;
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
  file.resize(100 * kSector);
  EXPECT_TRUE(file == counterAudio(300, 100));
  const auto tags = testing_support::runCommand(
      {testing_support::findProgram("id3v2"), "-l", nativeOut(disc, "01 Title.mp3")});
  EXPECT_NE(tags.out.find("id3v1 tag info"), std::string::npos) << tags.out << tags.err;
  EXPECT_NE(tags.out.find("Title  : Title"), std::string::npos) << tags.out;
  EXPECT_NE(tags.out.find("Genre: Rock (17)"), std::string::npos) << tags.out;

  // Ogg (through the ID3v2 opening as well) and WAV files get no ID3v1 tag.
  for (std::uint32_t encoder : {1u, 2u}) {
    const std::string name = encoder == 1 ? "02 Ogg" : "03 Wav";
    const std::string file = nativeOut(disc, name + (encoder == 1 ? ".ogg" : ".wav"));
    const Events e = rip(disc, {300, 10, true, encoder, name});
    EXPECT_EQ(e, (Events{"Copying 0%...", "Copying 100%...",
                         "file " + windowsOut(disc, name) + (encoder == 1 ? ".ogg" : ".wav"),
                         "Copied", "ended"}));
    EXPECT_TRUE(audioOf(file) == counterAudio(300, 10)) << "a one-block track, read plainly";
  }
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
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events[events.size() - 2], "Copied");
  }
  // The library's own log names the variant it was opened with.
  for (const Case& c : cases) {
    if (c.opening == nullptr) continue;
    const char* file = c.encoder == 0 ? "lame.dll" : "pcm.dll";
    void* handle = dlopen((testing_support::binDir() + "/testencoders/record/" + file).c_str(),
                          RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(handle, nullptr);
    auto log = reinterpret_cast<const char* (*)()>(dlsym(handle, "FakeEnc_Log"));
    EXPECT_NE(std::string(log()).find(std::string("\n") + c.opening + " "), std::string::npos)
        << log();
    dlclose(handle);
  }
}

TEST_F(RipWorkerTest, Resync_JitteryDrives_EncoderGetsAnUnbrokenRunOfTheDisc) {
  struct Case {
    const char* jitter;
    std::uint32_t start, count;
    std::int64_t expectedShift;  // of the first frame, in bytes; INT64_MIN: any within the jitter
    std::size_t maxZeroTail;
  };
  const Case cases[] = {
      {"", 300, 100, 0, 0},
      {R"(, "jitter": {"bytes": 1176})", 300, 100, 1176, 0},
      {R"(, "jitter": {"bytes": -1176})", 300, 100, -1176, 0},
      // Track 1 at the disc's start: the first read cannot be early, the
      // later ones are. The last block's tail lies before what its pass read
      // and is zeroed, never taken from an earlier pass.
      {R"(, "jitter": {"bytes": -1176})", 0, 100, 0, 1176},
      {R"(, "jitter": {"bytes": -4000})", 0, 100, 0, 4000},
      {R"(, "jitter": {"max_bytes": 2000, "seed": 3})", 300, 100, INT64_MIN, 4000},
      {R"(, "jitter": {"max_bytes": 2000, "seed": 11})", 300, 100, INT64_MIN, 4000},
      // The disc's last track: 25 sectors leave one after the middle block,
      // which must not read into the lead-out.
      {"", 400, 25, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.jitter << " track " << c.start << "+" << c.count);
    SimDisc disc(std::string(R"("tracks": [{"sectors": 300}, {"sectors": 100}, {"sectors": 25}],)"
                             R"( "audio": {"generator": "counter"})") +
                 c.jitter);
    ASSERT_TRUE(disc.ready());
    disc.loadEncoders("record");
    const Events events = rip(disc, {c.start, c.count, true, 2});
    ASSERT_GE(events.size(), 2u);
    EXPECT_EQ(events[events.size() - 2], "Copied");
    const std::vector<std::uint8_t> audio = audioOf(nativeOut(disc, "01 Title.wav"));
    ASSERT_EQ(audio.size(), c.count * kSector);
    std::uint32_t first = 0;
    std::size_t zeros = 0;
    rip_test::expectUnbrokenRun(audio, first, zeros);
    const std::int64_t shift = (std::int64_t{first} - std::int64_t{c.start} * 588) * 4;
    if (c.expectedShift != INT64_MIN) {
      EXPECT_EQ(shift, c.expectedShift);
      EXPECT_EQ(zeros, c.maxZeroTail);
    } else {
      EXPECT_LE(std::abs(shift), 2000);
      EXPECT_LE(zeros, c.maxZeroTail);
    }
  }
}

TEST_F(RipWorkerTest, Resync_DigitalSilenceAcrossABlockBoundary_CopyStartsOneSectorLater) {
  // Sectors 11 and 12 (the last of the first block, the first of the
  // second) are silent; every other frame holds its number + 1.
  std::vector<std::uint8_t> image(60 * kSector);
  for (std::size_t f = 0; f < image.size() / 4; ++f) {
    const std::uint32_t v = static_cast<std::uint32_t>(f) + 1;
    for (int b = 0; b < 4; ++b) image[f * 4 + b] = static_cast<std::uint8_t>(v >> (8 * b));
  }
  std::fill(image.begin() + 11 * kSector, image.begin() + 13 * kSector, 0);
  testing_support::TempDir files;
  const std::string audioFile =
      files.write("disc.raw", std::string(image.begin(), image.end()));
  SimDisc disc(R"("tracks": [{"sectors": 60}], "audio": {"file": ")" + audioFile + R"("})");
  ASSERT_TRUE(disc.ready());
  disc.loadEncoders("record");
  const Events events = rip(disc, {0, 60, true, 2});
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[events.size() - 2], "Copied");

  // Sectors 0..11, then from 13 on (12 is skipped), and the one sector the
  // last pass could not read is zeros.
  std::vector<std::uint8_t> expected(image.begin(), image.begin() + 12 * kSector);
  expected.insert(expected.end(), image.begin() + 13 * kSector, image.end());
  expected.resize(60 * kSector, 0);
  EXPECT_TRUE(audioOf(nativeOut(disc, "01 Title.wav")) == expected);
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
  EXPECT_EQ(events[events.size() - 2], "Copied");
  EXPECT_TRUE(audioOf(nativeOut(disc, "a.wav")) == counterAudio(300, 24));

  // 5 at sector 330, in an overlapped middle block: the job fails, the
  // stream is abandoned (no file), and the reader is gone.
  events = rip(disc, {300, 100, true, 2, "b"});
  EXPECT_EQ(events.front(), "Copying 0%...");
  EXPECT_EQ(events[events.size() - 2], rondel::kStatusReadFailed);
  EXPECT_EQ(events.back(), "ended");
  EXPECT_EQ(std::count(events.begin(), events.end(), "ended"), 1);
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "b.wav")));

  // The same at sector 200 in a plain first block; then the next job runs.
  EXPECT_EQ(rip(disc, {195, 10, false, 2, "c"}), endedWith(rondel::kStatusReadFailed));
  events = rip(disc, {300, 100, true, 2, "d"});
  EXPECT_EQ(events[events.size() - 2], "Copied");
  EXPECT_TRUE(audioOf(nativeOut(disc, "d.wav")) == counterAudio(300, 100));
}

TEST_F(RipWorkerTest, Failures_EachEndsWithItsStatusThenTheOwnerOnce_AndTheNextJobRuns) {
  SimDisc disc(R"("tracks": [{"sectors": 300}, {"sectors": 100}], "audio": {"generator": "counter"})");
  ASSERT_TRUE(disc.ready());
  disc.loadEncoders("record_faults");
  // lame.dll refuses every opening; ogg.dll fails its third Compress; pcm.dll
  // cannot publish its file at the finished close.
  EXPECT_EQ(rip(disc, {300, 100, false, 0, "a"}), endedWith(rondel::kStatusInitCompressFailed));
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "a.mp3")));

  Events events = rip(disc, {300, 100, false, 1, "b"});
  EXPECT_EQ(events, (Events{"Copying 0%...", "Copying 12%...", "Copying 24%...",
                            rondel::kStatusCompressFailed, "ended"}));
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "b.ogg")));

  // Not published: no file, no ID3v1 tag, no file reported, and not "Copied".
  events = rip(disc, {300, 100, true, 2, "c"});
  ASSERT_GE(events.size(), 3u);
  EXPECT_EQ(events[events.size() - 3], "Copying 100%...");
  EXPECT_EQ(events[events.size() - 2], rondel::kStatusCompressFailed);
  EXPECT_EQ(events.back(), "ended");
  EXPECT_FALSE(std::filesystem::exists(nativeOut(disc, "c.wav")));

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
  EXPECT_EQ(events[events.size() - 2], "Copied");
  EXPECT_TRUE(audioOf(nativeOut(disc, "f.ogg")) == counterAudio(300, 24));
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
  void* handle = dlopen((testing_support::binDir() + "/testencoders/record/pcm.dll").c_str(),
                        RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr);
  const std::string log = reinterpret_cast<const char* (*)()>(dlsym(handle, "FakeEnc_Log"))();
  dlclose(handle);
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
