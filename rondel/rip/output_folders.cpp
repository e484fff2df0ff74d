#include "rondel/rip/output_folders.h"

#include "platform/winpath.h"

namespace rondel {

void createOutputFolders(const std::string& path) {
  if (path.size() <= 3) return;
  // The walk from the root down to the file's folder is createFolders'
  // own: it makes each missing folder in order, never the drive's root.
  // A path from the root of the current drive ("\a\b") has a root of one
  // character; "X:" alone is no folder and maps to nothing.
  const std::size_t lastSeparator = path.find_last_of('\\');
  if (lastSeparator == std::string::npos || lastSeparator == 0) return;
  (void)platform::createFolders(std::string_view(path).substr(0, lastSeparator));
}

}  // namespace rondel
