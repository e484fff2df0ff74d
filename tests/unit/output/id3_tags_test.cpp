// ID3 tags made through id3lib, checked byte by byte: frame order and
// payloads, the sizes handed over, the ID3v1 fields. Tag readers (eyeD3)
// read the tags of ripped files in the road test.
#include "rondel/output/id3_tags.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/winpath.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::runCommand;
using testing_support::TempDir;

const char kLame[] = "/usr/bin/lame";

std::string bytesOf(const std::vector<std::uint8_t>& v) { return std::string(v.begin(), v.end()); }

// The payload of the first ID3v2.3 frame `id` in a rendered tag, or "".
std::string framePayload(const std::string& tag, const std::string& id) {
  const std::size_t at = tag.find(id, 10);
  if (at == std::string::npos || at + 10 > tag.size()) return "";
  const auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(tag[at + 4 + i]); };
  const std::size_t size = (std::size_t{b(0)} << 24) | (b(1) << 16) | (b(2) << 8) | b(3);
  return tag.substr(at + 10, size);
}

// The size an ID3v2 header announces (syncsafe), plus the header itself.
std::size_t announcedSize(const std::string& tag) {
  if (tag.size() < 10 || tag.compare(0, 3, "ID3") != 0) return 0;
  std::size_t size = 0;
  for (int i = 6; i < 10; ++i) size = (size << 7) | (static_cast<std::uint8_t>(tag[i]) & 0x7F);
  return size + 10;
}

class Id3TagsTest : public ::testing::Test {
 protected:
  // A short silent MPEG stream made once by lame, so that id3lib sees a
  // real audio file behind the tags.
  static void SetUpTestSuite() {
    ASSERT_TRUE(fs::exists(kLame)) << kLame << " is missing: scripts/setup installs it";
    audioDir_ = std::make_unique<TempDir>();
    const std::string raw = audioDir_->write("silence.raw", std::string(44100 * 4 / 5, '\0'));
    const std::string mp3 = audioDir_->file("silence.mp3");
    const auto lame =
        runCommand({kLame, "-r", "-s", "44.1", "--bitwidth", "16", "--silent", raw, mp3});
    ASSERT_EQ(lame.exitCode, 0) << lame.err;
    audio_ = readFile(mp3);
    ASSERT_GT(audio_.size(), 1000u);
  }
  static void TearDownTestSuite() { audioDir_.reset(); }

  static std::unique_ptr<TempDir> audioDir_;
  static std::string audio_;
  TempDir dir_;
};

std::unique_ptr<TempDir> Id3TagsTest::audioDir_;
std::string Id3TagsTest::audio_;

TEST_F(Id3TagsTest, RenderId3v2Tag_AllFields_ReadBackInOrderWithTheGenreAsText) {
  rondel::TagFields fields;
  fields.title = "Caf\xE9 au lait";  // Windows-1252 e-acute
  fields.track = 7;
  fields.artist = "The Artist";
  fields.album = "The Album";
  fields.year = "1999";
  fields.genre = "Rock";
  fields.comment = "Encoded with Rondel";
  std::vector<std::uint8_t> tag;
  ASSERT_TRUE(rondel::renderId3v2Tag(fields, tag));
  const std::string bytes = bytesOf(tag);
  EXPECT_EQ(bytes.size(), announcedSize(bytes));

  // Frames in the order title, artist, album, year, comment, genre, track.
  std::size_t last = 0;
  for (const char* id : {"TIT2", "TPE1", "TALB", "TYER", "COMM", "TCON", "TRCK"}) {
    const std::size_t at = bytes.find(id, 10);
    ASSERT_NE(at, std::string::npos) << id;
    EXPECT_GT(at, last) << id;
    last = at;
  }
  // The content-type frame holds the text itself, not "(17)".
  EXPECT_EQ(framePayload(bytes, "TCON").substr(0, 5), std::string("\0Rock", 5));
  EXPECT_EQ(bytes.find("(17)"), std::string::npos);
  EXPECT_EQ(framePayload(bytes, "TIT2"), std::string("\0Caf\xE9 au lait", 13));
}

TEST_F(Id3TagsTest, RenderId3v2Tag_HandsOverExactlyTheRenderedBytes) {
  // One frame: id3lib's own size estimate falls short of what it renders,
  // so the bytes must come from the render itself (ASan would see an
  // overrun of a buffer sized by the estimate).
  rondel::TagFields genreOnly;
  genreOnly.genre = "Krautrock";  // not an ID3v1 genre: still stored as text
  std::vector<std::uint8_t> tag(3, 0xAB);
  ASSERT_TRUE(rondel::renderId3v2Tag(genreOnly, tag));
  const std::string bytes = bytesOf(tag);
  EXPECT_EQ(bytes.size(), announcedSize(bytes));
  EXPECT_EQ(framePayload(bytes, "TCON").substr(0, 10), std::string("\0Krautrock", 10));

  // Nothing to tag: false and nothing handed over. A track number that
  // does not fit id3lib's 8-bit field adds no frame rather than a wrong one.
  for (std::uint32_t track : {0u, 256u, 300u}) {
    SCOPED_TRACE(track);
    rondel::TagFields nothing;
    nothing.track = track;
    tag.assign(3, 0xAB);
    EXPECT_FALSE(rondel::renderId3v2Tag(nothing, tag));
    EXPECT_TRUE(tag.empty());
  }
  rondel::TagFields trackOnly;
  trackOnly.track = 255;
  ASSERT_TRUE(rondel::renderId3v2Tag(trackOnly, tag));
  EXPECT_EQ(framePayload(bytesOf(tag), "TRCK").substr(0, 4), std::string("\0"
                                                                         "255",
                                                                         4));
}

TEST_F(Id3TagsTest, WriteId3v1Tag_WritesIntoTheMappedFileAndReplacesItsOwnTag) {
  // A v2-tagged file whose name holds a Windows-1252 character: the path
  // arrives in Windows form and must reach the UTF-8 name on disk.
  rondel::TagFields v2fields;
  v2fields.title = "Version two title";
  std::vector<std::uint8_t> v2;
  ASSERT_TRUE(rondel::renderId3v2Tag(v2fields, v2));
  const std::string original = bytesOf(v2) + audio_;
  const std::string native = dir_.write("Caf\xC3\xA9.mp3", original);
  const std::string windowsPath = platform::toWindowsPath(dir_.path()) + "\\Caf\xE9.mp3";
  ASSERT_EQ(platform::toNativePath(windowsPath), native);

  rondel::TagFields fields;
  fields.title = "A title longer than thirty bytes, cut";
  fields.track = 7;
  fields.artist = "The Artist";
  fields.album = "The Album";
  fields.year = "2001";
  fields.genre = "rOcK";
  fields.comment = "Encoded with Rondel";
  ASSERT_TRUE(rondel::writeId3v1Tag(windowsPath, fields));
  std::string written = readFile(native);
  ASSERT_EQ(written.size(), original.size() + 128);
  EXPECT_EQ(written.compare(0, original.size(), original), 0) << "the rest of the file changed";
  EXPECT_EQ(written.compare(original.size(), 3, "TAG"), 0);
  EXPECT_EQ(static_cast<std::uint8_t>(written[written.size() - 1]), 17) << "genre";
  EXPECT_EQ(static_cast<std::uint8_t>(written[written.size() - 2]), 7) << "track";
  // Title, artist, album: 30 bytes each, cut or padded with NULs; the year.
  EXPECT_EQ(written.substr(original.size() + 3, 30), "A title longer than thirty byt");
  EXPECT_EQ(written.substr(original.size() + 33, 11), std::string("The Artist\0", 11));
  EXPECT_EQ(written.substr(original.size() + 93, 4), "2001");

  // Genres the table does not know give no genre; the second write replaces
  // the first tag instead of stacking another one behind it.
  for (const char* genre : {"Psychedelic", "Rock ", ""}) {
    SCOPED_TRACE(genre);
    fields.genre = genre;
    ASSERT_TRUE(rondel::writeId3v1Tag(windowsPath, fields));
    written = readFile(native);
    ASSERT_EQ(written.size(), original.size() + 128);
    EXPECT_EQ(static_cast<std::uint8_t>(written[written.size() - 1]), 0xFF) << "no genre";
  }
}

TEST_F(Id3TagsTest, WriteId3v1Tag_PathWithoutAFile_WritesAndCreatesNothing) {
  rondel::TagFields fields;
  fields.title = "Title";
  const std::string folder = platform::toWindowsPath(dir_.path());
  ASSERT_FALSE(folder.empty());
  for (const std::string& path :
       {folder + "\\missing.mp3", folder, std::string("relative.mp3"), std::string(""),
        folder + "\\" + std::string(300, 'a') + ".mp3"}) {
    SCOPED_TRACE(path);
    EXPECT_FALSE(rondel::writeId3v1Tag(path, fields));
  }
  EXPECT_TRUE(fs::is_empty(dir_.path())) << "id3lib made a file where none was";
}

}  // namespace
