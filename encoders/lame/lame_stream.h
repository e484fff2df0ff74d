#pragma once
// An MP3 stream: CD-DA encoded by libmp3lame at a constant bitrate, after an
// optional ID3v2 tag, with a LAME/Info header as the first frame.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "encoders/common/encoder_stream.h"

namespace encoders {

// The MPEG-1 Layer III bitrate of a setting (the bitrate index of the frame
// header), in kbit/s: 1..14 give 32, 40, 48, 56, 64, 80, 96, 112, 128, 160,
// 192, 224, 256, 320; 0 (the "free" index) gives the default, 112. 0 for 15
// (reserved) and above.
int lameBitrateForSetting(std::uint32_t setting);

// Sets up the encoder, then writes the first tagBytes of tag (already checked
// to be one whole ID3v2 tag; 0 for none) at the start of the file. Null with
// *result set when the encoder refuses or the tag cannot be written.
std::unique_ptr<EncoderStream> makeLameStream(std::unique_ptr<OutputFile> file, int kbps,
                                              const std::uint8_t* tag, std::size_t tagBytes,
                                              std::int32_t* result);

}  // namespace encoders
