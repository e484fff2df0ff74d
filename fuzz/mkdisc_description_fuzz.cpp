// mkdisc's description parser: any bytes must give a disc or a one-line
// error, never a crash or a hang. A parsed disc is also laid out, so the
// bounds the parser promises are the ones the layout relies on.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tools/mkdisc/description.h"
#include "tools/mkdisc/layout.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const mkdisc::DescriptionResult result = mkdisc::parseDescription(text);
  if (!result.disc) {
    if (result.error.empty() || result.error.find('\n') != std::string::npos) __builtin_trap();
    return 0;
  }
  const mkdisc::DiscLayout layout = mkdisc::layOut(*result.disc);
  if (layout.tracks.empty() || layout.tracks.size() > 99 ||
      layout.leadout + mkdisc::kLeadInSectors > mkdisc::kMaxDiscSectors)
    __builtin_trap();
  return 0;
}
