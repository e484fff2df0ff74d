// Texts from outside: Windows-form paths, code page conversion, GUID texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/winpath.h"
#include "sdk/guid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string cp = platform::utf8ToCp1252(text);
  std::string back = platform::cp1252ToUtf8(cp);
  if (platform::utf8ToCp1252(back) != cp) __builtin_trap();  // round trip is stable
  if (auto native = platform::toNativePath(text)) (void)platform::toWindowsPath(*native);
  if (auto guid = qom::Guid::parse(text)) {
    if (qom::Guid::parse(guid->toString()) != guid) __builtin_trap();
  }
  return 0;
}
