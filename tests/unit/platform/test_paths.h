#pragma once
#include <cstdlib>
#include <string>

#include "platform/module.h"

namespace platform_test {

// build/bin: given by CTest, else the folder of the running test binary.
inline std::string binDir() {
  if (const char* dir = std::getenv("RONDEL_BIN_DIR"); dir != nullptr && dir[0] != '\0') {
    return dir;
  }
  const std::string exe = platform::executablePath();
  return exe.substr(0, exe.rfind('/'));
}

inline std::string testModulePath(const std::string& target) {
  return binDir() + "/lib" + target + ".so";
}

}  // namespace platform_test
