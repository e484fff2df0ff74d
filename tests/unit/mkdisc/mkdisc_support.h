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

// A program from PATH (posix_spawn takes a full path).
inline std::string findProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string list = path != nullptr ? path : "/usr/bin:/bin";
  std::size_t from = 0;
  while (from <= list.size()) {
    std::size_t to = list.find(':', from);
    if (to == std::string::npos) to = list.size();
    const std::string candidate = list.substr(from, to - from) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    from = to + 1;
  }
  return {};
}

}  // namespace mkdisc_test
