// ogg.dll: Ogg Vorbis files checked with oggdec (exact sample count),
// ffprobe (nominal bitrate) and vorbiscomment (the tag texts in UTF-8).
#include <gtest/gtest.h>

#include "support/temp_dir.h"
#include "unit/encoders/encoder_library.h"

namespace encoder_test {
namespace {

using testing_support::TempDir;

const EncoderLibrary& ogg() { return library("ogg.dll"); }

std::int32_t open3(const std::string& base, std::uint32_t setting, const char* title,
                   std::uint32_t track, const char* artist, const char* album, const char* year,
                   const char* genre, const char* comment, AcdStream* stream) {
  return ogg().InitCompress3(base.c_str(), 0, setting, 0, title, track, artist, album, year,
                             genre, comment, "", "", "", stream);
}

TEST(Ogg, TaggedTrack_ExactLengthCloseToInputCommentsInUtf8) {
  TempDir dir;
  const std::vector<std::int16_t> input = toneAudio(2.5);
  const std::string base = windowsPath(dir.file("07 Caf\xE9"));
  AcdStream stream = 0;
  // Windows-1252 texts: e-acute, the euro sign (0x80) and a curly quote (0x92);
  // an empty album is left out.
  ASSERT_EQ(0, open3(base, 6, "Caf\xE9 \x80", 7, "Art\x92s", "", "1999", "Rock",
                     "Ripped here", &stream));
  ASSERT_NE(0u, stream);
  ASSERT_EQ(base + ".ogg", finishFile(ogg(), stream, cddaBytes(input)));

  // The file name is UTF-8 on disk.
  const std::string path = dir.file("07 Caf\xC3\xA9.ogg");
  const ToolResult comments = runTool({"vorbiscomment", "-l", path});
  EXPECT_EQ(0, comments.exitCode) << comments.err;
  EXPECT_EQ(
      "TITLE=Caf\xC3\xA9 \xE2\x82\xAC\nTRACKNUMBER=7\nARTIST=Art\xE2\x80\x99s\nDATE=1999\n"
      "GENRE=Rock\nCOMMENT=Ripped here\n",
      comments.out);

  const std::vector<std::int16_t> samples = decodeFile(path);
  EXPECT_EQ(input.size(), samples.size());
  EXPECT_GT(snrDb(input, samples), 25.0);
  EXPECT_EQ("sample_rate=44100\nchannels=2\nbit_rate=112000\n", probeStream(path));
}

TEST(Ogg, Setting_IsTheNominalBitrate) {
  TempDir dir;
  const std::vector<std::uint8_t> audio = cddaBytes(toneAudio(0.3));
  const struct {
    std::uint32_t setting;
    int bitrate;
  } kCases[] = {{1, 48000}, {6, 112000}, {12, 320000}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.setting);
    const std::string base = dir.file("s" + std::to_string(c.setting));
    // Without texts (null pointers inside): no comment at all.
    ASSERT_EQ(windowsPath(base) + ".ogg", encodeFile(ogg(), windowsPath(base), c.setting, audio));
    EXPECT_EQ("sample_rate=44100\nchannels=2\nbit_rate=" + std::to_string(c.bitrate) + "\n",
              probeStream(base + ".ogg"));
    EXPECT_EQ("", runTool({"vorbiscomment", "-l", base + ".ogg"}).out);
  }
  for (std::uint32_t setting : {0u, 13u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(setting);
    AcdStream stream = 99;
    EXPECT_NE(0, open3(windowsPath(dir.file("bad")), setting, "t", 1, "a", "b", "c", "d", "e",
                       &stream));
    EXPECT_EQ(0u, stream);
  }
  EXPECT_EQ((std::vector<std::string>{"s1.ogg", "s12.ogg", "s6.ogg"}), folderEntries(dir.path()));
}

}  // namespace
}  // namespace encoder_test
