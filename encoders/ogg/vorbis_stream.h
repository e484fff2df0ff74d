#pragma once
// An Ogg Vorbis stream: CD-DA encoded by libvorbisenc around a nominal
// bitrate, in one logical Ogg stream with its own serial number.
#include <cstdint>
#include <memory>

#include "encoders/common/encoder_stream.h"
#include "encoders/ogg/vorbis_comments.h"

namespace encoders {

// The nominal bitrate of a setting in kbit/s: 1..12 give 48, 56, 64, 80, 96,
// 112, 128, 160, 192, 224, 256, 320 (6 = 112). 0 for 0 and above 12.
int vorbisBitrateForSetting(std::uint32_t setting);

// Sets up the encoder and writes the three header packets (with the
// comments) on pages of their own. Null with *result set on failure.
std::unique_ptr<EncoderStream> makeVorbisStream(std::unique_ptr<OutputFile> file, int kbps,
                                                const TagTexts& tags, std::int32_t* result);

}  // namespace encoders
