#include "rondel/shell/library_folder.h"

#include "platform/module.h"
#include "platform/winpath.h"

namespace rondel {

std::string libraryFolder() {
  const std::string exe = platform::moduleFileName(0);
  return exe.size() <= platform::kMaxPath ? platform::windowsFolderOf(exe) : std::string();
}

}  // namespace rondel
