#pragma once
// The shell's folder browser, a host service: asks the user for a folder
// (a directory chooser on the desktop; on the command line, the folder the
// user gave beforehand). Found through the host API's service find (7100)
// by type kServiceFolderBrowser and name kFolderBrowserName.
#include <cstdint>

#include "sdk/dispatch.h"
#include "sdk/fourcc.h"

namespace qom {

constexpr std::uint32_t kServiceFolderBrowser = fourCC("fldb");
constexpr const char* kFolderBrowserName = "Shell:BROWSEFOLDER";

// Flags of browse().
constexpr int kBrowseFileSystemOnly = 1;  // only folders that have a file-system path

class FolderBrowser : public Dispatchable {
 public:
  // title (const char*), flags (int), out (char*), size (int) -> int
  enum : int { kMsgBrowse = 100 };

  // Shows the browser titled `title` (Windows-1252). Window thread: the
  // desktop runs its chooser there. Answers 1 with the chosen folder's
  // Windows-form path in `out` (NUL-terminated, at most size - 1
  // characters); 0 when the user cancelled, when the folder has no
  // Windows-form path, or when the path does not fit: `out` then holds "".
  int browse(const char* title, int flags, char* out, int size) {
    if (out != nullptr && size > 0) out[0] = '\0';
    return dispatchCall<int>(this, kMsgBrowse, 0, title, flags, out, size);
  }

  virtual ~FolderBrowser() = default;
};

}  // namespace qom
