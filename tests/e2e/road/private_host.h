#pragma once
// A qomhost of the test's own in `folder`: the component loads cdr.dll and
// the encoders from the folder of the executable as /proc/self/exe names it,
// so the program is a hard link (or a copy), not a symlink, and its lame.dll
// is the recording test encoder.
#include <filesystem>
#include <string>
#include <system_error>

#include "support/temp_dir.h"

namespace road_test {

inline std::string privateQomhost(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  const fs::path programs = testing_support::binDir();
  fs::create_directory(folder);
  std::error_code ec;
  fs::create_hard_link(programs / "qomhost", folder / "qomhost", ec);
  if (ec) fs::copy_file(programs / "qomhost", folder / "qomhost");
  fs::create_directory_symlink(programs / "qoms", folder / "qoms");
  for (const char* file : {"cdr.dll", "ogg.dll", "pcm.dll"}) fs::create_symlink(programs / file, folder / file);
  fs::create_symlink(programs / "testencoders/record/lame.dll", folder / "lame.dll");
  return (folder / "qomhost").string();
}

}  // namespace road_test
