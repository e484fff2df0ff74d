#include "rondel/shell/library_folder.h"

#include <mutex>

#include "platform/module.h"
#include "platform/winpath.h"

namespace rondel {
namespace {
std::mutex g_mutex;
std::string g_folder;
}  // namespace

void computeLibraryFolder() {
  std::string exe = platform::moduleFileName(0);
  std::string folder = exe.size() <= platform::kMaxPath ? platform::windowsFolderOf(exe) : "";
  setLibraryFolder(folder);
}

std::string libraryFolder() {
  std::lock_guard<std::mutex> lock(g_mutex);
  return g_folder;
}

void setLibraryFolder(const std::string& windowsFolder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_folder = windowsFolder;
}

}  // namespace rondel
