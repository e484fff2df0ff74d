#include "platform/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/winpath.h"

namespace platform {
namespace {

// readlink does not say how long the target is; the buffer grows until the
// answer fits, up to a bound no real path reaches.
constexpr std::size_t kMaxLinkTarget = 1 << 16;

std::string nativeFileOf(void* handle) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) return "";
  const char* name = map->l_name;
  // The main program's entry carries no name.
  if (name == nullptr || name[0] == '\0') return executablePath();
  std::unique_ptr<char, decltype(&std::free)> real(realpath(name, nullptr), &std::free);
  if (real) return real.get();
  return name[0] == '/' ? std::string(name) : std::string();
}

}  // namespace

std::string executablePath() {
  std::vector<char> buffer(256);
  while (buffer.size() <= kMaxLinkTarget) {
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return "";
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
  return "";
}

// A nonzero handle must come from dlopen and still be loaded: there is no way
// to tell a stale handle from a live one without the loader's help.
std::string moduleFileName(ModuleHandle module) {
  const std::string native =
      module == 0 ? executablePath() : nativeFileOf(reinterpret_cast<void*>(module));
  return native.empty() ? std::string() : toWindowsPath(native);
}

std::string windowsFolderOf(const std::string& windowsFileName) {
  const std::size_t slash = windowsFileName.rfind('\\');
  return slash == std::string::npos ? std::string() : windowsFileName.substr(0, slash);
}

}  // namespace platform
