#include "encoders/lame/lame_stream.h"

#include <lame/lame.h>

#include <algorithm>
#include <vector>

#include "encoders/common/cdda.h"

namespace encoders {
namespace {

// Largest MPEG-1 Layer III frame (320 kbit/s at 32 kHz with padding) is 1441
// bytes; the LAME/Info frame is one frame of the stream.
constexpr std::size_t kMaxFrameBytes = 2880;
// What libmp3lame asks for: 1.25 times the samples plus 7200 bytes covers the
// worst case of one call, and 7200 bytes the final flush.
constexpr std::size_t kFlushBytes = 7200;

struct LameCloser {
  void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using LamePtr = std::unique_ptr<lame_global_flags, LameCloser>;

class LameStream final : public EncoderStream {
 public:
  LameStream(std::unique_ptr<OutputFile> file, LamePtr lame, std::uint64_t firstFrameOffset)
      : EncoderStream(std::move(file)), lame_(std::move(lame)), firstFrame_(firstFrameOffset) {}

  std::int32_t compress(const std::uint8_t* data, std::size_t bytes) override {
    const std::size_t frames = bytes / kFrameBytes;
    // libmp3lame takes native 16-bit samples; the copy also makes the
    // caller's bytes safe to read at any alignment and in any byte order.
    samples_.resize(frames * kChannels);
    for (std::size_t i = 0; i < samples_.size(); ++i) samples_[i] = sampleAt(data + 2 * i);
    mp3_.resize(frames + frames / 4 + kFlushBytes);
    const int n = lame_encode_buffer_interleaved(lame_.get(), samples_.data(),
                                                 static_cast<int>(frames), mp3_.data(),
                                                 static_cast<int>(mp3_.size()));
    if (n < 0) return kEncoderError;
    return file_->append(mp3_.data(), static_cast<std::size_t>(n)) ? kOk : kFileError;
  }

  bool finish() override {
    mp3_.resize(std::max(mp3_.size(), kFlushBytes));
    const int n = lame_encode_flush(lame_.get(), mp3_.data(), static_cast<int>(mp3_.size()));
    if (n < 0 || !file_->append(mp3_.data(), static_cast<std::size_t>(n))) return false;
    // The first frame was written as a placeholder; now that the stream is
    // complete, libmp3lame fills in the frame count, the encoder delay and
    // the padding, which is what lets players show the right duration and
    // decoders trim the stream to the exact samples.
    unsigned char tag[kMaxFrameBytes];
    const std::size_t tagBytes = lame_get_lametag_frame(lame_.get(), tag, sizeof tag);
    if (tagBytes > sizeof tag) return false;
    return tagBytes == 0 || file_->overwrite(firstFrame_, tag, tagBytes);
  }

 private:
  LamePtr lame_;
  const std::uint64_t firstFrame_;     // file offset of the LAME/Info frame
  std::vector<short> samples_;         // reused between calls
  std::vector<unsigned char> mp3_;     // reused between calls
};

}  // namespace

int lameBitrateForSetting(std::uint32_t setting) {
  // Index 0 ("free" in the frame header) is what a job carries when no
  // format label matched: it means this library's default, 112 kbit/s.
  static constexpr int kBitrates[] = {112, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  if (setting >= sizeof kBitrates / sizeof kBitrates[0]) return 0;
  return kBitrates[setting];
}

std::unique_ptr<EncoderStream> makeLameStream(std::unique_ptr<OutputFile> file, int kbps,
                                              const std::uint8_t* tag, std::size_t tagBytes,
                                              std::int32_t* result) {
  *result = kNoMemory;
  LamePtr lame(lame_init());
  if (!lame) return nullptr;
  lame_global_flags* f = lame.get();
  *result = kEncoderError;
  // 44.1 kHz in and out keeps the stream MPEG-1, which is what the setting's
  // bitrate index means (libmp3lame would otherwise resample low bitrates).
  // Joint stereo, the default quality (-q 3) and the ReplayGain analysis
  // (its result goes into the LAME header) are what the lame command line
  // does at the same bitrate: the files come out the same.
  if (lame_set_num_channels(f, kChannels) < 0 || lame_set_in_samplerate(f, kSampleRate) < 0 ||
      lame_set_out_samplerate(f, kSampleRate) < 0 || lame_set_brate(f, kbps) < 0 ||
      lame_set_VBR(f, vbr_off) < 0 || lame_set_mode(f, JOINT_STEREO) < 0 ||
      lame_set_bWriteVbrTag(f, 1) < 0 || lame_set_findReplayGain(f, 1) < 0) {
    return nullptr;
  }
  // Tags are the component's business: the ID3v2 tag arrives ready-made and
  // the ID3v1 tag is appended after the close.
  lame_set_write_id3tag_automatic(f, 0);
  if (lame_init_params(f) < 0) return nullptr;

  if (tagBytes > 0 && !file->append(tag, tagBytes)) {
    *result = kFileError;
    return nullptr;
  }
  const std::uint64_t firstFrame = file->size();
  *result = kOk;
  return std::make_unique<LameStream>(std::move(file), std::move(lame), firstFrame);
}

}  // namespace encoders
