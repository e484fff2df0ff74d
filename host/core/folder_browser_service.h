#pragma once
// The host's folder browser service (sdk/folder_browser.h). What "the user
// picks" means is up to whoever runs the host: the desktop view shows a
// directory chooser, the command line answers with the folder it was given,
// and with no handler every browse is cancelled. The handler gets the title
// as UTF-8 and answers a native path; the service turns it into the
// Windows form the component works with.
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "sdk/folder_browser.h"

namespace qomhost {

class FolderBrowserService final : public qom::FolderBrowser {
 public:
  // Called on the thread that browses (the window thread). Answers a native
  // absolute folder path, or nullopt when the user cancelled.
  using Handler = std::function<std::optional<std::string>(const std::string& titleUtf8)>;

  // Any thread.
  void setHandler(Handler handler);

  int dispatch(int message, void* result, void** args, int argCount) override;

  // The Windows form of a native folder, or "" when it has none that maps
  // back to the same folder (a name Windows-1252 cannot hold, a place no
  // drive letter covers). Relative paths are taken from the working folder.
  static std::string windowsFolder(const std::string& nativePath);

 private:
  int browse(const char* title, char* out, int size);

  std::mutex mutex_;  // guards handler_; never held while the handler runs
  Handler handler_;
};

}  // namespace qomhost
