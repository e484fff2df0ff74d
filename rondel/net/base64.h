#pragma once
// Standard base64 (RFC 4648, "+/" alphabet, "=" padding, no line breaks).
#include <cstddef>
#include <string>
#include <string_view>

namespace rondel {

std::string base64Encode(std::string_view bytes);

// Writes the base64 form of the NUL-terminated `text`, NUL-terminated, into
// `out` of `outSize` bytes. Gives false (and writes an empty text when
// there is room for the NUL) when `text` is null or `out` is too small.
bool base64Encode(const char* text, char* out, std::size_t outSize);

}  // namespace rondel
