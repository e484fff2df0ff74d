// Disc image files as the drive library checks them before libcdio parses
// them: any bytes, taken as a CUE sheet, a TOC file and an NRG image, must
// give acceptance or a reason, never a crash, a hang or a read out of
// bounds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "drivers/cdr/image_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)cdr::checkCueText(bytes);
  std::vector<cdr::TocFileUse> files;
  (void)cdr::checkTocText(bytes, files);
  // The whole input as the file, its last bytes as the library reads them.
  const std::size_t tail = std::min(size, cdr::kNrgMaxFooterBytes);
  (void)cdr::checkNrgTail(bytes.substr(size - tail), size);
  return 0;
}
