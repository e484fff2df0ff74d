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
// How the bytes of a text are to be read.
enum class TextForm { kCp1252, kUtf8 };
// `text` with its control characters replaced by `replacement`, so it can
// neither steer a terminal nor end or split a line: every C0 control (NUL,
// tab and line breaks included) and DEL, and in UTF-8 text also the C1
// controls U+0080..U+009F (two bytes each), which some terminals obey as
// escapes. A tab stays when `keepTabs`. Other bytes are copied as they are.
std::string replaceControls(std::string_view text, char replacement, TextForm form,
                            bool keepTabs = false);

}  // namespace platform
