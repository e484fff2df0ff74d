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
// UTF-8 text made safe to print for a person: every C0 control (tab and
// line breaks included), DEL and C1 control (U+0080..U+009F, which some
// terminals obey as escapes) becomes "?". Other bytes are copied as they
// are, so malformed input stays malformed but can no longer steer a terminal.
std::string printableUtf8(std::string_view text);

}  // namespace platform
