// Skin files: the host reads pages and controls from them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "host/core/skin_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = [] {
    char pattern[] = "/tmp/rondel-fuzz-skin-XXXXXX";
    return std::string(::mkdtemp(pattern)) + "/skin.xml";
  }();
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  std::string error;
  (void)qomhost::readSkinFile(file, &error);
  return 0;
}
