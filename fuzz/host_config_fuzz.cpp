// qomhost's configuration file: a damaged file is set aside and defaults
// apply; nothing it holds may crash the host.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "host/core/config_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string folder = [] {
    char pattern[] = "/tmp/rondel-fuzz-config-XXXXXX";
    return std::string(::mkdtemp(pattern));
  }();
  const std::string file = folder + "/config.json";
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  qomhost::ConfigStore store(folder);
  if (store.load()) (void)store.storedValue("{DAC1B44B-F86A-4150-A6B4-DE7A638702F7}", "Format");
  // A damaged file was renamed aside: clear the folder for the next run.
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ignored))
    std::filesystem::remove(entry.path(), ignored);
  return 0;
}
