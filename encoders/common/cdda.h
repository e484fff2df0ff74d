#pragma once
// Raw CD-DA as the drive delivers it: 44 100 Hz, 16-bit little-endian
// samples, two interleaved channels; one frame (a left and a right sample)
// is 4 bytes.
#include <cstddef>
#include <cstdint>

namespace encoders {

constexpr int kSampleRate = 44100;
constexpr int kChannels = 2;
constexpr std::size_t kFrameBytes = 4;

// The most bytes one ACD2_Compress call may hand over. The component sends
// at most 12 sectors (28 224 bytes); more is accepted as long as it is whole
// frames, up to this bound, which keeps the codecs' work buffers small.
constexpr std::size_t kMaxCompressBytes = std::size_t{1} << 22;

// A sample read from its two bytes, whatever the host's byte order.
inline std::int16_t sampleAt(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | (p[1] << 8)));
}

}  // namespace encoders
