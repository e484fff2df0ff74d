#pragma once
// The library folder: the folder of the process's main executable, in
// Windows form, from which the drive and encoder libraries are loaded. The
// component computes it once while it is built and hands it to the loaders.
#include <string>

namespace rondel {

// Takes the file name of the main executable (module handle 0) and cuts it
// before its last backslash; at most 260 characters. An executable path too
// long for a 261-byte buffer gives an empty folder, so no library loads.
std::string libraryFolder();

}  // namespace rondel
