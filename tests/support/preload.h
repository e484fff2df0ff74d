#pragma once
// Running a test program above the emulated drive: the LD_PRELOAD value it
// needs, and a main() that starts the program again with it. A sanitizer
// runtime the program was linked with comes first in that value, as the
// runtime must be the first library loaded; the emulation then sits between
// the runtime's interceptors and the C library.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/temp_dir.h"

namespace emulated_drive {

inline std::string libraryPath() { return testing_support::binDir() + "/emulated_drive.so"; }

inline std::string preloadValue() {
  std::string runtime;
  std::ifstream maps("/proc/self/maps");
  for (std::string line; runtime.empty() && std::getline(maps, line);) {
    const std::size_t path = line.find('/');
    if (path == std::string::npos) continue;
    if (line.find("/libasan.so", path) != std::string::npos ||
        line.find("/libtsan.so", path) != std::string::npos)
      runtime = line.substr(path);
  }
  return runtime.empty() ? libraryPath() : runtime + ":" + libraryPath();
}

// The test program's main: once more with the emulation preloaded, then the
// tests. Programs it starts inherit LD_PRELOAD (and find the drive when
// EMULATED_DRIVE names its script).
inline int runPreloaded(int argc, char** argv) {
  if (std::getenv("EMULATED_DRIVE_PRELOADED") == nullptr) {
    ::setenv("EMULATED_DRIVE_PRELOADED", "1", 1);
    ::setenv("LD_PRELOAD", preloadValue().c_str(), 1);
    ::execv("/proc/self/exe", argv);
    std::perror("emulated drive: cannot start the tests again");
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

}  // namespace emulated_drive
