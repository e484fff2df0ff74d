#pragma once
// Recognising the ID3v2 tag the component hands to ACD2_InitCompress2.
#include <cstddef>
#include <cstdint>

namespace encoders {

// The length of the complete ID3v2 tag at the start of bytes (header, body
// and a v2.4 footer), or 0 when bytes does not start with one: no "ID3",
// a major version other than 2, 3 or 4, a size byte with its top bit set, or
// a declared length longer than the bytes given.
std::size_t id3v2TagLength(const std::uint8_t* bytes, std::size_t size);

}  // namespace encoders
