#pragma once
// The library folder: the folder of the process's main executable, in
// Windows form, from which the drive and encoder libraries are loaded.
// Computed once during static construction; at most 260 characters.
#include <string>

namespace rondel {

// Takes the file name of the main executable (module handle 0) and cuts it
// before its last backslash. An executable path too long for a 261-byte
// buffer leaves the folder empty, so no library loads.
void computeLibraryFolder();
std::string libraryFolder();
// Tests point the loaders at folders of their own.
void setLibraryFolder(const std::string& windowsFolder);

}  // namespace rondel
