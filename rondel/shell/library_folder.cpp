#include "rondel/shell/library_folder.h"

#include <mutex>

#include "platform/module.h"
#include "platform/winpath.h"

namespace rondel {
namespace {
// Reached from the component's static construction, which may run before
// this file's own globals are built: keep the state function-local.
struct FolderState {
  std::mutex mutex;
  std::string folder;
};
FolderState& state() {
  static FolderState s;
  return s;
}
}  // namespace

void computeLibraryFolder() {
  std::string exe = platform::moduleFileName(0);
  std::string folder = exe.size() <= platform::kMaxPath ? platform::windowsFolderOf(exe) : "";
  setLibraryFolder(folder);
}

std::string libraryFolder() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().folder;
}

void setLibraryFolder(const std::string& windowsFolder) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().folder = windowsFolder;
}

}  // namespace rondel
