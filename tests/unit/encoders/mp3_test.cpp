// lame.dll: MP3 files checked with mpg123 (gapless decoding to the exact
// sample count) and ffprobe (bitrate); the ID3v2 tag handed over leads the
// file byte for byte (tag readers check tags in the output tests).
#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "unit/encoders/encoder_library.h"

namespace encoder_test {
namespace {

using testing_support::readFile;
using testing_support::TempDir;

const EncoderLibrary& lame() { return library("lame.dll"); }

std::string be32(std::uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
          static_cast<char>(v)};
}

std::string frame(const char* id, const std::string& body) {
  return std::string(id, 4) + be32(static_cast<std::uint32_t>(body.size())) +
         std::string(2, '\0') + body;
}

// An ID3v2.3 tag as a tag library renders it: Latin-1 text frames and zero
// padding after them.
std::string id3v2Tag() {
  const std::string latin1(1, '\0');
  std::string frames = frame("TIT2", latin1 + "Caf\xE9 Song") + frame("TRCK", latin1 + "7");
  frames += std::string(256, '\0');
  const auto size = static_cast<std::uint32_t>(frames.size());
  std::string header = "ID3\x03";
  header += '\0';
  header += '\0';
  for (int shift = 21; shift >= 0; shift -= 7) header += static_cast<char>((size >> shift) & 0x7F);
  return header + frames;
}

// Encodes `audio` (after `tag`, where given): the name reported, or "".
std::string encode(const std::string& windowsBase, std::uint32_t setting,
                   const std::vector<std::uint8_t>& audio, const std::string* tag) {
  if (tag == nullptr) return encodeFile(lame(), windowsBase, setting, audio);
  AcdStream stream = 0;
  if (lame().InitCompress2(windowsBase.c_str(), 0, setting, 0,
                           reinterpret_cast<const std::uint8_t*>(tag->data()),
                           static_cast<std::uint32_t>(tag->size()), &stream) != 0)
    return "";
  return finishFile(lame(), stream, audio);
}

TEST(Mp3, TaggedTrack_ExactLengthCloseToInputTagFirst) {
  TempDir dir;
  const std::vector<std::int16_t> input = toneAudio(2.5);
  const std::string tag = id3v2Tag();
  ASSERT_EQ(windowsPath(dir.file("01 Title")) + ".mp3",
            encode(windowsPath(dir.file("01 Title")), 8, cddaBytes(input), &tag));

  const std::string path = dir.file("01 Title.mp3");
  const std::string bytes = readFile(path);
  ASSERT_GT(bytes.size(), tag.size() + 40);
  EXPECT_EQ(tag, bytes.substr(0, tag.size())) << "the tag comes first, unchanged";
  // MPEG-1 stereo: 4 header bytes and 32 of side information before the
  // LAME/Info header of a constant bitrate stream.
  EXPECT_EQ("Info", bytes.substr(tag.size() + 36, 4));

  // The LAME header carries the encoder delay and padding; a gapless decoder
  // trims both and gives back exactly the samples encoded, in place (a shift
  // of even one sample would ruin the signal-to-noise ratio of a tone).
  const std::vector<std::int16_t> decoded = decodeFile(path);
  EXPECT_EQ(input.size(), decoded.size());
  EXPECT_GT(snrDb(input, decoded), 20.0);
}

TEST(Mp3, Setting_IsTheBitrateIndex) {
  TempDir dir;
  const std::vector<std::int16_t> input = toneAudio(0.5);
  // Below 64 kbit/s a frame has no room for the LAME/Info header, so
  // libmp3lame leaves it out and decoders keep the delay and padding.
  const struct {
    std::uint32_t setting;
    int bitrate;
    bool gapless;
  } kCases[] = {{0, 112000, true}, {1, 32000, false}, {5, 64000, true}, {8, 112000, true},
                {14, 320000, true}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.setting);
    const std::string base = dir.file("s" + std::to_string(c.setting));
    ASSERT_NE("", encode(windowsPath(base), c.setting, cddaBytes(input), nullptr));
    EXPECT_EQ("sample_rate=44100\nchannels=2\nbit_rate=" + std::to_string(c.bitrate) + "\n",
              probeStream(base + ".mp3"));
    const std::size_t decoded = decodeFile(base + ".mp3").size();
    if (c.gapless) {
      EXPECT_EQ(input.size(), decoded);
    } else {
      EXPECT_GT(decoded, input.size());
    }
  }
  // Setting 0 (what a job carries when no format label matched) is the
  // library's default; the reserved index and anything past it are refused.
  for (std::uint32_t setting : {15u, 16u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(setting);
    AcdStream stream = 99;
    EXPECT_NE(0, lame().InitCompress(windowsPath(dir.file("bad")).c_str(), 0, setting, 0, &stream));
    EXPECT_EQ(0u, stream);
  }
  EXPECT_EQ((std::vector<std::string>{"s0.mp3", "s1.mp3", "s14.mp3", "s5.mp3", "s8.mp3"}),
            folderEntries(dir.path()));
}

TEST(Mp3, TagBytesThatAreNoWholeTag_LeftOutAudioKept) {
  TempDir dir;
  const std::vector<std::int16_t> input = toneAudio(0.3);
  const std::string tag = id3v2Tag();
  const struct {
    const char* name;
    std::string bytes;
    std::size_t expectedTag;  // bytes of tag at the start of the file
  } kCases[] = {
      {"not a tag", std::string(64, 'x'), 0},
      {"cut short", tag.substr(0, tag.size() - 1), 0},
      {"header only", tag.substr(0, 9), 0},
      {"size byte out of range", std::string("ID3\x03\x00\x00\x00\x00\x80\x00", 10), 0},
      {"trailing bytes", tag + "junk", tag.size()},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string base = dir.file("t");
    ASSERT_NE("", encode(windowsPath(base), 8, cddaBytes(input), &c.bytes));
    const std::string bytes = readFile(base + ".mp3");
    ASSERT_GT(bytes.size(), c.expectedTag + 2);
    EXPECT_EQ(tag.substr(0, c.expectedTag), bytes.substr(0, c.expectedTag));
    // An MPEG-1 Layer III frame header (no CRC) follows at once.
    EXPECT_EQ(0xFF, static_cast<unsigned char>(bytes[c.expectedTag]));
    EXPECT_EQ(0xFB, static_cast<unsigned char>(bytes[c.expectedTag + 1]));
    EXPECT_EQ(input.size(), decodeFile(base + ".mp3").size());
  }
}

}  // namespace
}  // namespace encoder_test
