// The drive library's configuration file: any bytes must give drives or
// warnings, never a crash or a hang.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "drivers/cdr/config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  for (std::uint32_t mode : {0u, 1u}) {
    auto drives = cdr::parseDrives(text, "/nonexistent", mode, [](const std::string&) {});
    (void)drives;
  }
  return 0;
}
