// What the three libraries share: Initialize, streams that are renamed into
// place only when finished, refused paths and calls, a disk
// that fills up, streams on several threads, and clean-up at unload.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/winpath.h"
#include "support/temp_dir.h"
#include "unit/encoders/encoder_library.h"

namespace encoder_test {
namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::TempDir;

std::int32_t open(const EncoderLibrary& lib, const std::string& windowsBase, AcdStream* stream) {
  return lib.InitCompress(windowsBase.c_str(), 0, lib.setting, 0, stream);
}

// Samples per channel of a finished file.
std::size_t decodedFrames(const std::string& path) { return decodeFile(path).size() / 2; }

TEST(Streams, CancelOrFinish_OlderFileReplacedOnlyWhenFinished) {
  const std::vector<std::uint8_t> audio = cddaBytes(toneAudio(0.2));
  for (const std::string& file : libraryNames()) {
    SCOPED_TRACE(file);
    const EncoderLibrary& lib = library(file);
    TempDir dir;
    const std::string finalName = "x" + lib.extension;
    dir.write(finalName, "older");

    AcdStream stream = 0;
    ASSERT_EQ(0, open(lib, windowsPath(dir.file("x")), &stream));
    ASSERT_EQ(0, compressAll(lib, audio, stream));
    // Meanwhile the audio goes to another name in the same folder (so the
    // final rename cannot cross file systems).
    EXPECT_EQ(2u, folderEntries(dir.path()).size());
    char name[kAcdNameBytes] = "unchanged";
    lib.DeinitCompress(0, name, stream);
    EXPECT_EQ(std::vector<std::string>{finalName}, folderEntries(dir.path()));
    EXPECT_EQ("older", readFile(dir.file(finalName)));
    EXPECT_STREQ("unchanged", name) << "a cancel reports no name";

    ASSERT_EQ(windowsPath(dir.file(finalName)),
              encodeFile(lib, windowsPath(dir.file("x")), lib.setting, audio));
    EXPECT_EQ(std::vector<std::string>{finalName}, folderEntries(dir.path()));
    EXPECT_EQ(audio.size() / 4, decodedFrames(dir.file(finalName)));
  }
}

TEST(Streams, Paths_RefusedUnlessWritable_LongestNameFits) {
  TempDir dir;
  dir.write("file", "a file, not a folder");
  fs::create_directory(dir.file("folder"));
  const std::string z = windowsPath(dir.path());
  const struct {
    const char* why;
    std::string base;
  } kCases[] = {
      {"missing folder", z + "\\missing\\x"},
      {"a file where a folder should be", z + "\\file\\x"},
      {"unmapped drive letter", "Q:\\x"},
      {"relative path", "x"},
      {"no file name", z + "\\"},
      {"longer than the component's paths", z + "\\" + std::string(300, 'a')},
      {"no room left for a name", z + "\\" + std::string(257 - z.size(), 'f') + "\\x"},
  };
  for (const std::string& file : libraryNames()) {
    const EncoderLibrary& lib = library(file);
    for (const auto& c : kCases) {
      SCOPED_TRACE(file + ": " + c.why);
      AcdStream stream = 99;
      EXPECT_NE(0, open(lib, c.base, &stream));
      EXPECT_EQ(0u, stream);
    }
    // A folder that has the final name cannot be replaced by the file.
    fs::create_directory(dir.file("taken" + lib.extension));
    AcdStream stream = 99;
    EXPECT_NE(0, open(lib, z + "\\taken", &stream));
    EXPECT_EQ(0u, stream);
    EXPECT_NE(0, lib.InitCompress(nullptr, 0, lib.setting, 0, &stream));
    EXPECT_NE(0, open(lib, z + "\\y", nullptr));

    // The longest name that fits: 260 characters with the extension, and its
    // NUL exactly fills a heap buffer of 261 bytes (overruns show in ASan).
    const std::string longest = z + "\\folder\\" + std::string(256 - z.size() - 8, 'n');
    ASSERT_EQ(0, open(lib, longest, &stream));
    std::vector<char> name(kAcdNameBytes);
    ASSERT_EQ(0, lib.DeinitCompress(1, name.data(), stream));
    EXPECT_EQ(longest + lib.extension, name.data());
    EXPECT_EQ(260u, std::string(name.data()).size());

    // The component cuts its paths at 260 characters without knowing the
    // extension: a path of 257 to 260 is written under its last part
    // shortened to fit, and that name is reported. So is a name too long for
    // the file system in UTF-8 (130 characters are 260 bytes; 125 fit).
    const std::string folder = z + "\\folder\\";
    std::vector<std::pair<std::string, std::string>> cut;  // base, name expected
    for (std::size_t length = 257; length <= 260; ++length) {
      const std::string base =
          folder + std::to_string(length) + std::string(length - folder.size() - 3, 'c');
      cut.emplace_back(base, base.substr(0, 260 - lib.extension.size()) + lib.extension);
    }
    cut.emplace_back(folder + std::string(130, '\xE9'), folder + std::string(125, '\xE9') + lib.extension);
    // A cut inside a run of spaces leaves none at the end of the name.
    cut.emplace_back(folder + "Title" + std::string(260 - folder.size() - 9, ' ') + "1234",
                     folder + "Title" + lib.extension);
    for (const auto& [base, expected] : cut) {
      SCOPED_TRACE(file + ": " + std::to_string(base.size()) + " characters");
      ASSERT_LE(base.size(), 260u);
      ASSERT_EQ(expected, encodeFile(lib, base, lib.setting, cddaBytes(toneAudio(0.01))));
      const std::optional<std::string> native = platform::toNativePath(expected);
      ASSERT_TRUE(native);
      EXPECT_TRUE(fs::is_regular_file(*native));
    }
  }
  EXPECT_EQ((std::vector<std::string>{"file", "folder", "taken.mp3", "taken.ogg", "taken.wav"}),
            folderEntries(dir.path()));
  EXPECT_EQ(3u * 7u, folderEntries(dir.file("folder")).size());
}

TEST(Streams, RefusedCalls_NonzeroAndNoFilePublished) {
  const std::vector<std::uint8_t> audio(8192, 0);
  for (const std::string& file : libraryNames()) {
    SCOPED_TRACE(file);
    const EncoderLibrary& lib = library(file);
    std::uint32_t info = 0;
    EXPECT_NE(0, lib.Initialize(&info) & 0xFF);
    EXPECT_NE(0u, info);
    EXPECT_NE(0, lib.Initialize(nullptr) & 0xFF);
    TempDir dir;
    const struct {
      const char* why;
      const void* data;
      std::uint32_t bytes;
    } kBadCalls[] = {
        {"half a frame", audio.data(), 4094},
        {"no data", nullptr, 4},
        {"more than any caller sends", audio.data(), (1u << 22) + 4},
    };
    for (const auto& c : kBadCalls) {
      SCOPED_TRACE(c.why);
      AcdStream stream = 0;
      ASSERT_EQ(0, open(lib, windowsPath(dir.file("x")), &stream));
      EXPECT_EQ(0, lib.Compress(audio.data(), 4096, stream));
      EXPECT_EQ(0, lib.Compress(nullptr, 0, stream)) << "nothing to do is no error";
      EXPECT_NE(0, lib.Compress(c.data, c.bytes, stream));
      EXPECT_NE(0, lib.Compress(audio.data(), 4096, stream)) << "the stream stays failed";
      // A file with a gap in its audio is never published.
      char name[kAcdNameBytes] = "unchanged";
      EXPECT_NE(0, lib.DeinitCompress(1, name, stream));
      EXPECT_STREQ("", name);
      EXPECT_TRUE(folderEntries(dir.path()).empty());
      // The handle is gone.
      EXPECT_NE(0, lib.Compress(audio.data(), 4096, stream));
      EXPECT_NE(0, lib.DeinitCompress(1, name, stream));
    }
    char name[kAcdNameBytes] = "unchanged";
    for (AcdStream unknown : {0u, 0xDEADBEEFu}) {
      EXPECT_NE(0, lib.Compress(audio.data(), 4096, unknown));
      EXPECT_NE(0, lib.DeinitCompress(0, name, unknown));
    }
    EXPECT_NE(0, lib.DeinitCompress(1, nullptr, 0xDEADBEEFu));
  }
}

// Files may not grow past a small limit, as on a full disk: the write fails
// with EFBIG, which works even for root (permissions would not).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    ok_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
  }
  bool ok() const { return ok_; }

 private:
  rlimit old_{};
  void (*oldHandler_)(int) = SIG_DFL;
  bool ok_ = false;
};

TEST(Streams, DiskFull_CompressFailsAndNothingRemains) {
  const std::vector<std::uint8_t> audio = cddaBytes(toneAudio(3.0));
  for (const std::string& file : libraryNames()) {
    SCOPED_TRACE(file);
    const EncoderLibrary& lib = library(file);
    TempDir dir;
    dir.write("x" + lib.extension, "older");
    AcdStream stream = 0;
    std::int32_t compressed = 0;
    {
      FileSizeLimit limit(8 * 1024);
      ASSERT_TRUE(limit.ok());
      ASSERT_EQ(0, open(lib, windowsPath(dir.file("x")), &stream));
      compressed = compressAll(lib, audio, stream);
      char name[kAcdNameBytes];
      lib.DeinitCompress(0, name, stream);
    }
    EXPECT_NE(0, compressed);
    EXPECT_EQ(std::vector<std::string>{"x" + lib.extension}, folderEntries(dir.path()));
    EXPECT_EQ("older", readFile(dir.file("x" + lib.extension)));
  }
}

TEST(Streams, StreamsOnSeveralThreads_Independent) {
  TempDir dir;
  const std::vector<std::uint8_t> shorter = cddaBytes(toneAudio(0.5));
  const std::vector<std::uint8_t> longer = cddaBytes(toneAudio(0.8));
  struct Job {
    std::string file;
    std::string base;
    const std::vector<std::uint8_t>* audio;
    std::string name = {};  // as reported; "" when a call failed
  };
  std::vector<Job> jobs;
  for (const std::string& file : libraryNames()) {
    // Two streams to names of their own, two to one name: neither may see
    // the other's audio or temporary file.
    jobs.push_back({file, "a", &shorter});
    jobs.push_back({file, "b", &longer});
    jobs.push_back({file, "same", &shorter});
    jobs.push_back({file, "same", &longer});
  }
  std::vector<std::thread> threads;
  for (Job& job : jobs) {
    threads.emplace_back([&job, &dir] {
      const EncoderLibrary& lib = library(job.file);
      job.name = encodeFile(lib, windowsPath(dir.file(job.base)), lib.setting, *job.audio);
    });
  }
  for (std::thread& t : threads) t.join();
  for (const Job& job : jobs) EXPECT_NE("", job.name) << job.file << " " << job.base;

  EXPECT_EQ((std::vector<std::string>{"a.mp3", "a.ogg", "a.wav", "b.mp3", "b.ogg", "b.wav",
                                      "same.mp3", "same.ogg", "same.wav"}),
            folderEntries(dir.path()));
  for (const char* ext : {".mp3", ".ogg", ".wav"}) {
    SCOPED_TRACE(ext);
    EXPECT_EQ(shorter.size() / 4, decodedFrames(dir.file(std::string("a") + ext)));
    EXPECT_EQ(longer.size() / 4, decodedFrames(dir.file(std::string("b") + ext)));
    const std::size_t same = decodedFrames(dir.file(std::string("same") + ext));
    EXPECT_TRUE(same == shorter.size() / 4 || same == longer.size() / 4) << same;
  }
  // Each Ogg stream has its own serial number (bytes 14..17 of every page).
  EXPECT_NE(readFile(dir.file("a.ogg")).substr(14, 4), readFile(dir.file("b.ogg")).substr(14, 4));
}

TEST(Streams, LibraryUnloadedWithAStreamOpen_TemporaryFileRemoved) {
  // A private copy of the library, so that dlclose really unloads it.
  TempDir dir;
  const std::string copy = dir.file("pcm-copy.dll");
  fs::copy_file(testing_support::binDir() + "/pcm.dll", copy);
  fs::create_directory(dir.file("out"));
  void* handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, handle) << dlerror();
  auto init = reinterpret_cast<ACD2_InitCompress_t>(dlsym(handle, "ACD2_InitCompress"));
  ASSERT_NE(nullptr, init);
  AcdStream stream = 0;
  ASSERT_EQ(0, init(windowsPath(dir.file("out/x")).c_str(), 0, 0, 0, &stream));
  EXPECT_EQ(1u, folderEntries(dir.file("out")).size());
  ASSERT_EQ(0, dlclose(handle));
  EXPECT_TRUE(folderEntries(dir.file("out")).empty());
}

}  // namespace
}  // namespace encoder_test
