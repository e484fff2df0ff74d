#include "encoders/pcm/wav_stream.h"

#include <algorithm>
#include <array>

#include "encoders/common/cdda.h"

namespace encoders {
namespace {

constexpr std::size_t kHeaderBytes = 44;
constexpr std::uint32_t kBitsPerSample = 16;

using Header = std::array<std::uint8_t, kHeaderBytes>;

void put32(Header& h, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) h[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void put16(Header& h, std::size_t at, std::uint16_t v) {
  h[at] = static_cast<std::uint8_t>(v);
  h[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

Header wavHeader(std::uint32_t dataBytes) {
  Header h{};
  const auto tag = [&](std::size_t at, const char* four) {
    for (int i = 0; i < 4; ++i) h[at + i] = static_cast<std::uint8_t>(four[i]);
  };
  tag(0, "RIFF");
  put32(h, 4, static_cast<std::uint32_t>(kHeaderBytes - 8) + dataBytes);
  tag(8, "WAVE");
  tag(12, "fmt ");
  put32(h, 16, 16);  // size of the format chunk
  put16(h, 20, 1);   // integer PCM
  put16(h, 22, kChannels);
  put32(h, 24, kSampleRate);
  put32(h, 28, kSampleRate * static_cast<std::uint32_t>(kFrameBytes));  // bytes a second
  put16(h, 32, static_cast<std::uint16_t>(kFrameBytes));                // bytes a frame
  put16(h, 34, kBitsPerSample);
  tag(36, "data");
  put32(h, 40, dataBytes);
  return h;
}

class WavStream final : public EncoderStream {
 public:
  WavStream(std::unique_ptr<OutputFile> file, std::uint64_t maxDataBytes)
      : EncoderStream(std::move(file)), maxDataBytes_(maxDataBytes) {}

  std::int32_t compress(const std::uint8_t* data, std::size_t bytes) override {
    if (bytes > maxDataBytes_ - dataBytes_) return kTooLong;
    if (!file_->append(data, bytes)) return kFileError;
    dataBytes_ += bytes;
    return kOk;
  }

  bool finish() override {
    const Header header = wavHeader(static_cast<std::uint32_t>(dataBytes_));
    return file_->overwrite(0, header.data(), header.size());
  }

 private:
  const std::uint64_t maxDataBytes_;  // at most kMaxWavDataBytes
  std::uint64_t dataBytes_ = 0;
};

}  // namespace

std::unique_ptr<EncoderStream> makeWavStream(std::unique_ptr<OutputFile> file,
                                             std::int32_t* result, std::uint64_t maxDataBytes) {
  // Sizes of 0 until the close: a file caught half-written says it is empty
  // rather than claiming audio it does not have.
  const Header header = wavHeader(0);
  if (!file->append(header.data(), header.size())) {
    *result = kFileError;
    return nullptr;
  }
  *result = kOk;
  return std::make_unique<WavStream>(std::move(file),
                                     std::min(maxDataBytes, kMaxWavDataBytes));
}

}  // namespace encoders
