#include "host/core/folder_browser_service.h"

#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/codepage.h"
#include "platform/winpath.h"

namespace qomhost {
namespace {

// "/a/b/" and "/a/./b" name the same folder as "/a/b".
std::string normalFolder(const std::string& native) {
  std::error_code ignored;
  std::string folder = std::filesystem::absolute(native, ignored).lexically_normal().string();
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

void FolderBrowserService::setHandler(Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  handler_ = std::move(handler);
}

std::string FolderBrowserService::windowsFolder(const std::string& nativePath) {
  if (nativePath.empty()) return {};
  const std::string native = normalFolder(nativePath);
  const std::string windows = platform::toWindowsPath(native);
  if (windows.empty()) return {};
  // A name that became "?" on the way would name another folder.
  const std::optional<std::string> back = platform::toNativePath(windows);
  if (!back || normalFolder(*back) != native) return {};
  return windows;
}

int FolderBrowserService::browse(const char* title, char* out, int size) {
  if (out == nullptr || size <= 0) return 0;
  out[0] = '\0';
  Handler handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    handler = handler_;
  }
  if (!handler) return 0;
  const std::optional<std::string> chosen =
      handler(platform::cp1252ToUtf8(title != nullptr ? title : ""));
  if (!chosen) return 0;
  const std::string windows = windowsFolder(*chosen);
  // A path that does not fit is no answer rather than a cut one.
  if (windows.empty() || windows.size() >= static_cast<std::size_t>(size)) return 0;
  std::memcpy(out, windows.c_str(), windows.size() + 1);
  return 1;
}

int FolderBrowserService::dispatch(int message, void* result, void** args, int argCount) {
  if (message != kMsgBrowse) return 0;
  try {
    const char* title = qom::dispatchArg<const char*>(args, argCount, 0);
    char* out = qom::dispatchArg<char*>(args, argCount, 2);
    const int size = qom::dispatchArg<int>(args, argCount, 3);
    qom::dispatchResult(result, browse(title, out, size));
  } catch (...) {
    // The component is across this call: nothing is thrown back into it.
    qom::dispatchResult(result, 0);
  }
  return 1;
}

}  // namespace qomhost
