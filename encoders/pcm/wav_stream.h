#pragma once
// A RIFF WAVE stream: a 44-byte header (PCM, 44 100 Hz, 16-bit, stereo)
// followed by the CD-DA bytes unchanged, which are already WAVE's sample
// layout. The sizes in the header are filled in at the close.
#include <cstdint>
#include <memory>

#include "encoders/common/encoder_stream.h"

namespace encoders {

// The most audio bytes a RIFF file can describe: its 32-bit RIFF size also
// counts the 36 header bytes after it. Whole frames only.
constexpr std::uint64_t kMaxWavDataBytes = (0xFFFFFFFFull - 36) / 4 * 4;

// maxDataBytes is kMaxWavDataBytes but for tests. A compress that would
// pass it is refused with kTooLong and writes nothing.
std::unique_ptr<EncoderStream> makeWavStream(std::unique_ptr<OutputFile> file,
                                             std::int32_t* result,
                                             std::uint64_t maxDataBytes = kMaxWavDataBytes);

}  // namespace encoders
