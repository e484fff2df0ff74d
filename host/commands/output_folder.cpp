#include "host/commands/output_folder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/core/folder_browser_service.h"
#include "platform/codepage.h"
#include "platform/winpath.h"

namespace qomhost {
namespace {

// "X:..." or a path from the current drive's root ("\Music").
bool windowsForm(const std::string& value) {
  if (!value.empty() && value[0] == '\\') return true;
  return value.size() >= 2 && std::isalpha(static_cast<unsigned char>(value[0])) && value[1] == ':';
}

}  // namespace

std::optional<std::string> componentFolder(const std::string& valueUtf8) {
  if (windowsForm(valueUtf8)) {
    const std::string windows = platform::utf8ToCp1252(valueUtf8);
    if (windows.size() > platform::kMaxPath || !platform::toNativePath(windows)) return std::nullopt;
    return windows;
  }
  const std::string windows = FolderBrowserService::windowsFolder(valueUtf8);
  if (windows.empty() || windows.size() > platform::kMaxPath) return std::nullopt;
  return windows;
}

std::string shownFolder(const std::string& cp1252) {
  const std::optional<std::string> native = platform::toNativePath(cp1252);
  return native ? *native : platform::cp1252ToUtf8(cp1252);
}

std::string folderWriteProblem(const std::string& nativeFolder) {
  std::error_code error;
  std::filesystem::create_directories(nativeFolder, error);
  if (error) return std::strerror(error.value());
  if (!std::filesystem::is_directory(nativeFolder, error))
    return std::strerror(error ? error.value() : ENOTDIR);
  // A file of our own, gone at once: what an encoder does first.
  std::string probe = nativeFolder + "/.qomhost-XXXXXX";
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  ::unlink(probe.c_str());
  return {};
}

}  // namespace qomhost
