// pcm.dll: RIFF WAVE files read back bit-exact by ffmpeg; the 4 GiB limit
// of the format through the writer itself (with a small limit).
#include <gtest/gtest.h>

#include "encoders/common/output_file.h"
#include "encoders/pcm/wav_stream.h"
#include "support/temp_dir.h"
#include "unit/encoders/encoder_library.h"

namespace encoder_test {
namespace {

using testing_support::readFile;
using testing_support::TempDir;

std::uint32_t le32(const std::string& bytes, std::size_t at) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(bytes[at + i]);
  return v;
}

TEST(Wav, Track_ReadBackBitExact) {
  const EncoderLibrary& pcm = library("pcm.dll");
  TempDir dir;
  // Odd sizes on purpose: the last call is not a whole sector.
  std::vector<std::uint8_t> audio = cddaBytes(toneAudio(0.7));
  audio.resize(audio.size() - 4 * 3);
  ASSERT_EQ(windowsPath(dir.file("w")) + ".wav",
            encodeFile(pcm, windowsPath(dir.file("w")), 12345, audio));

  const std::string path = dir.file("w.wav");
  // 16-bit stereo at 44.1 kHz is 1411.2 kbit/s.
  EXPECT_EQ("sample_rate=44100\nchannels=2\nbit_rate=1411200\n", probeStream(path));
  const std::vector<std::int16_t> decoded = decodeFile(path);
  EXPECT_TRUE(cddaBytes(decoded) == audio)
      << "decoded " << decoded.size() * 2 << " bytes of " << audio.size();
}

TEST(Wav, PastTheFormatsLimit_Refused) {
  TempDir dir;
  std::int32_t result = -1;
  auto file = encoders::OutputFile::create(windowsPath(dir.file("big")), ".wav", &result);
  ASSERT_TRUE(file) << result;
  auto stream = encoders::makeWavStream(std::move(file), &result, 400);
  ASSERT_TRUE(stream) << result;
  const std::vector<std::uint8_t> audio(400, 0x11);
  EXPECT_EQ(encoders::kOk, stream->compress(audio.data(), 240));
  EXPECT_EQ(encoders::kTooLong, stream->compress(audio.data(), 240));
  EXPECT_EQ(encoders::kOk, stream->compress(audio.data(), 160));
  EXPECT_EQ(encoders::kTooLong, stream->compress(audio.data(), 4));
  ASSERT_TRUE(stream->finish());
  ASSERT_TRUE(stream->file().commit());

  const std::string bytes = readFile(dir.file("big.wav"));
  ASSERT_EQ(444u, bytes.size()) << "a refused call writes nothing";
  EXPECT_EQ(436u, le32(bytes, 4));
  EXPECT_EQ(400u, le32(bytes, 40));
  // The real limit: the RIFF size (data plus 36) must fit 32 bits.
  static_assert(encoders::kMaxWavDataBytes + 36 <= 0xFFFFFFFFull);
  static_assert(encoders::kMaxWavDataBytes + 36 + 4 > 0xFFFFFFFFull);
}

}  // namespace
}  // namespace encoder_test
