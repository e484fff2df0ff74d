#include "encoders/ogg/vorbis_stream.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisenc.h>

#include <algorithm>

#include "encoders/common/cdda.h"
#include "encoders/common/unique_token.h"

namespace encoders {
namespace {

constexpr float kSampleScale = 1.0f / 32768.0f;
// Audio goes into the analysis in pieces of this many frames, each drained
// before the next: libvorbis moves its whole pending buffer down after every
// block it takes out, so feeding a 12-sector call at once costs several per
// cent more time than small pieces (oggenc feeds 1024 frames too).
constexpr std::size_t kAnalysisFrames = 1024;

// libvorbis and libogg state in the order it is set up; each part is cleared
// only if it was initialised, in reverse order.
class VorbisState {
 public:
  VorbisState() {
    vorbis_info_init(&info);
    vorbis_comment_init(&comment);
  }
  ~VorbisState() {
    if (streamReady) ogg_stream_clear(&stream);
    if (blockReady) vorbis_block_clear(&block);
    if (dspReady) vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
  }
  VorbisState(const VorbisState&) = delete;
  VorbisState& operator=(const VorbisState&) = delete;

  vorbis_info info;
  vorbis_comment comment;
  vorbis_dsp_state dsp;
  vorbis_block block;
  ogg_stream_state stream;
  bool dspReady = false;
  bool blockReady = false;
  bool streamReady = false;
};

class VorbisStream final : public EncoderStream {
 public:
  VorbisStream(std::unique_ptr<OutputFile> file, std::unique_ptr<VorbisState> state)
      : EncoderStream(std::move(file)), s_(std::move(state)) {}

  std::int32_t compress(const std::uint8_t* data, std::size_t bytes) override {
    const std::size_t frames = bytes / kFrameBytes;
    for (std::size_t done = 0; done < frames; done += kAnalysisFrames) {
      const std::size_t n = std::min(kAnalysisFrames, frames - done);
      const std::uint8_t* p = data + done * kFrameBytes;
      float** channels = vorbis_analysis_buffer(&s_->dsp, static_cast<int>(n));
      if (channels == nullptr) return kEncoderError;
      for (std::size_t i = 0; i < n; ++i) {
        channels[0][i] = sampleAt(p + kFrameBytes * i) * kSampleScale;
        channels[1][i] = sampleAt(p + kFrameBytes * i + 2) * kSampleScale;
      }
      if (vorbis_analysis_wrote(&s_->dsp, static_cast<int>(n)) != 0) return kEncoderError;
      if (const std::int32_t result = drain(); result != kOk) return result;
    }
    return kOk;
  }

  bool finish() override {
    // Zero samples mark the end: the last packet carries the end-of-stream
    // flag and its page the exact sample count, which decoders trim to.
    if (vorbis_analysis_wrote(&s_->dsp, 0) != 0 || drain() != kOk) return false;
    ogg_page page;
    while (ogg_stream_flush(&s_->stream, &page) != 0) {
      if (!writePage(page)) return false;
    }
    return true;
  }

  // Writes the header packets; audio then starts on a page of its own, as
  // the Ogg Vorbis mapping requires.
  bool writeHeaders() {
    ogg_packet id, comments, codebooks;
    if (vorbis_analysis_headerout(&s_->dsp, &s_->comment, &id, &comments, &codebooks) != 0) {
      return false;
    }
    ogg_stream_packetin(&s_->stream, &id);
    ogg_stream_packetin(&s_->stream, &comments);
    ogg_stream_packetin(&s_->stream, &codebooks);
    ogg_page page;
    while (ogg_stream_flush(&s_->stream, &page) != 0) {
      if (!writePage(page)) return false;
    }
    return true;
  }

 private:
  // Moves every block the analysis has ready through the encoder and every
  // finished page into the file.
  std::int32_t drain() {
    ogg_packet packet;
    ogg_page page;
    while (vorbis_analysis_blockout(&s_->dsp, &s_->block) == 1) {
      if (vorbis_analysis(&s_->block, nullptr) != 0 || vorbis_bitrate_addblock(&s_->block) != 0) {
        return kEncoderError;
      }
      while (vorbis_bitrate_flushpacket(&s_->dsp, &packet) == 1) {
        if (ogg_stream_packetin(&s_->stream, &packet) != 0) return kEncoderError;
        while (ogg_stream_pageout(&s_->stream, &page) != 0) {
          if (!writePage(page)) return kFileError;
        }
      }
    }
    return kOk;
  }

  bool writePage(const ogg_page& page) {
    return file_->append(page.header, static_cast<std::size_t>(page.header_len)) &&
           file_->append(page.body, static_cast<std::size_t>(page.body_len));
  }

  std::unique_ptr<VorbisState> s_;
};

}  // namespace

int vorbisBitrateForSetting(std::uint32_t setting) {
  static constexpr int kBitrates[] = {48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  if (setting < 1 || setting > sizeof kBitrates / sizeof kBitrates[0]) return 0;
  return kBitrates[setting - 1];
}

std::unique_ptr<EncoderStream> makeVorbisStream(std::unique_ptr<OutputFile> file, int kbps,
                                                const TagTexts& tags, std::int32_t* result) {
  auto state = std::make_unique<VorbisState>();
  *result = kEncoderError;
  // What "oggenc -b <kbps>" sets up: the encoder picks the quality whose
  // average is the nominal bitrate and then encodes freely (no bitrate
  // management, so no hard limits that would cost quality).
  if (vorbis_encode_setup_managed(&state->info, kChannels, kSampleRate, -1, kbps * 1000L, -1) !=
          0 ||
      vorbis_encode_ctl(&state->info, OV_ECTL_RATEMANAGE2_SET, nullptr) != 0 ||
      vorbis_encode_setup_init(&state->info) != 0) {
    return nullptr;
  }
  for (const auto& [field, value] : vorbisComments(tags)) {
    vorbis_comment_add_tag(&state->comment, field.c_str(), value.c_str());
  }
  if (vorbis_analysis_init(&state->dsp, &state->info) != 0) return nullptr;
  state->dspReady = true;
  if (vorbis_block_init(&state->dsp, &state->block) != 0) return nullptr;
  state->blockReady = true;
  // Every stream gets its own serial number, so files never share one even
  // when opened at the same moment.
  if (ogg_stream_init(&state->stream, static_cast<int>(uniqueToken() & 0x7FFFFFFF)) != 0) {
    return nullptr;
  }
  state->streamReady = true;

  auto stream = std::make_unique<VorbisStream>(std::move(file), std::move(state));
  if (!stream->writeHeaders()) {
    *result = stream->file().failed() ? kFileError : kEncoderError;
    return nullptr;
  }
  *result = kOk;
  return stream;
}

}  // namespace encoders
