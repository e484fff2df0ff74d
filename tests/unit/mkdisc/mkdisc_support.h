#pragma once
// Runs build/bin/mkdisc on a description and reads back what it made.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "support/run_command.h"
#include "support/temp_dir.h"

namespace mkdisc_test {

inline std::string sourceDir() {
  const char* dir = std::getenv("RONDEL_SOURCE_DIR");
  return dir != nullptr && *dir != 0 ? dir : MKDISC_TEST_SOURCE_DIR;
}

inline std::string discFile(const std::string& name) {
  return sourceDir() + "/tests/data/discs/" + name + ".json";
}

inline testing_support::CommandResult mkdisc(std::vector<std::string> args) {
  args.insert(args.begin(), testing_support::binDir() + "/mkdisc");
  return testing_support::runCommand(args);
}

// A whole file in one read (images are megabytes; a character iterator is
// slow in sanitizer builds).
inline std::string readBinary(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string bytes(in ? static_cast<std::size_t>(in.tellg()) : 0, '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

}  // namespace mkdisc_test
