#pragma once
// The system code page is Windows-1252. Texts leave the component as UTF-8.
#include <string>
#include <string_view>

namespace platform {

std::string cp1252ToUtf8(std::string_view text);
// Characters Windows-1252 cannot hold, and malformed UTF-8, become "?".
std::string utf8ToCp1252(std::string_view text);
// True when the text is well-formed UTF-8 (ASCII included).
bool isUtf8(std::string_view text);

}  // namespace platform
