#pragma once
// Text conversion between UTF-8 and Windows-1252 for the protocol levels:
// level 5 speaks Windows-1252, level 6 speaks UTF-8, and entries on disk may
// be stored in either.
#include <string>
#include <string_view>

namespace cddb_server {

// True when `text` is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF). Plain ASCII is valid UTF-8.
bool isValidUtf8(std::string_view text);

// Each code point Windows-1252 has becomes its byte; each code point it has
// not, and each byte of a malformed sequence, becomes "?".
std::string utf8ToWindows1252(std::string_view text);

// The five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) become "?".
std::string windows1252ToUtf8(std::string_view text);

}  // namespace cddb_server
