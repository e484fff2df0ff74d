// A cdrdao TOC file from a disc image, rewritten with absolute file names
// before libcdio reads it: any bytes must give text or a refusal, never a
// crash or a hang.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "drivers/cdr/toc_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  try {
    (void)cdr::absoluteTocText(text, "/discs/made");
  } catch (const std::runtime_error&) {
    // A name that cannot be rewritten safely: the image is skipped.
  }
  return 0;
}
