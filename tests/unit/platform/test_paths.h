#pragma once
#include <string>

#include "support/temp_dir.h"

namespace platform_test {

inline std::string testModulePath(const std::string& target) {
  return testing_support::binDir() + "/lib" + target + ".so";
}

}  // namespace platform_test
