#include "platform/winpath.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/codepage.h"

namespace platform {
namespace {

// Longest native path handled (Linux PATH_MAX, NUL included).
constexpr std::size_t kMaxNativePath = 4096;
// QOM_DRIVE_MAP can name each letter once with a root of kMaxNativePath; a
// longer variable is not a drive map and is ignored as a whole.
constexpr std::size_t kMaxDriveMapText = 26 * (kMaxNativePath + 8);

enum class Slot : unsigned char { kDefault, kMapped, kRemoved };

struct Drive {
  Slot slot = Slot::kDefault;
  std::string root;
};

using Roots = std::array<std::optional<std::string>, 26>;

struct DriveTable {
  std::mutex mutex;
  bool environmentRead = false;
  std::array<Drive, 26> drives;
};

DriveTable& driveTable() {
  static DriveTable table;
  return table;
}

int letterIndex(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a';
  return -1;
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Native paths are compared as text, so both sides are brought to one form:
// absolute, single slashes, no "." components, no trailing slash ("/" stays
// "/"). ".." is kept: resolving it without the file system would be wrong
// across symbolic links.
std::optional<std::string> cleanNativePath(std::string_view path) {
  if (path.empty() || path.front() != '/' || path.size() >= kMaxNativePath ||
      path.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  std::string out;
  out.reserve(path.size());
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '/') ++i;
    std::size_t end = path.find('/', i);
    if (end == std::string_view::npos) end = path.size();
    const std::string_view part = path.substr(i, end - i);
    if (!part.empty() && part != ".") {
      out += '/';
      out.append(part);
    }
    i = end;
  }
  if (out.empty()) out = "/";
  return out;
}

std::optional<std::string> homeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') {
    if (auto clean = cleanNativePath(std::string_view(home, strnlen(home, kMaxNativePath)))) {
      return clean;
    }
  }
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  if (size <= 0 || size > 1 << 20) size = 16384;
  std::vector<char> buffer(static_cast<std::size_t>(size));
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr) {
    return std::nullopt;
  }
  return cleanNativePath(found->pw_dir);
}

// QOM_DRIVE_MAP is "D=/srv/music;E=/media/usb". Blanks around entries and
// around "=" are allowed; an entry that is not one letter, "=", and an
// absolute root is skipped, and a later entry for a letter wins.
void readDriveMap(std::array<Drive, 26>& drives) {
  const char* text = std::getenv("QOM_DRIVE_MAP");
  if (text == nullptr) return;
  const std::size_t len = strnlen(text, kMaxDriveMapText + 1);
  if (len > kMaxDriveMapText) return;
  std::string_view rest(text, len);
  while (!rest.empty()) {
    std::size_t end = rest.find(';');
    if (end == std::string_view::npos) end = rest.size();
    std::string_view entry = trim(rest.substr(0, end));
    rest.remove_prefix(end == rest.size() ? end : end + 1);

    if (entry.size() < 2) continue;
    const int index = letterIndex(entry.front());
    entry.remove_prefix(1);
    entry = trim(entry);
    if (index < 0 || entry.empty() || entry.front() != '=') continue;
    if (auto root = cleanNativePath(trim(entry.substr(1)))) {
      drives[index] = Drive{Slot::kMapped, std::move(*root)};
    }
  }
}

// Called with the table locked.
void readEnvironmentOnce(DriveTable& table) {
  if (table.environmentRead) return;
  table.environmentRead = true;
  readDriveMap(table.drives);
}

Roots currentRoots() {
  std::array<Drive, 26> drives;
  {
    DriveTable& table = driveTable();
    std::lock_guard<std::mutex> lock(table.mutex);
    readEnvironmentOnce(table);
    drives = table.drives;
  }
  Roots roots;
  for (int i = 0; i < 26; ++i) {
    if (drives[i].slot == Slot::kMapped) {
      roots[i] = std::move(drives[i].root);
    } else if (drives[i].slot == Slot::kDefault) {
      if (i == 'C' - 'A') roots[i] = homeFolder();
      if (i == 'Z' - 'A') roots[i] = std::string("/");
    }
  }
  return roots;
}

std::optional<std::string> rootOf(int index) {
  if (index < 0 || index >= 26) return std::nullopt;
  return currentRoots()[index];
}

struct Mapped {
  std::string root;
  std::string native;
};

// The drive of the working directory: the letter whose root holds it, as
// toWindowsPath finds it. -1 when no letter does.
int currentDriveIndex() {
  char folder[kMaxNativePath];
  if (getcwd(folder, sizeof folder) == nullptr) return -1;
  const std::string windows = toWindowsPath(folder);
  return windows.empty() ? -1 : letterIndex(windows[0]);
}

std::optional<Mapped> mapPath(std::string_view windowsPath) {
  if (windowsPath.empty() || windowsPath.size() > kMaxPath ||
      windowsPath.find('\0') != std::string_view::npos) {
    return std::nullopt;
  }
  // "X:\..." names its drive; "\..." starts at the root of the current
  // drive, the working directory's. "X:name" is relative to the drive's
  // current folder and "\\server\share" has no letter, and neither exists
  // here.
  int index = -1;
  std::size_t i = 0;
  if (isNetworkSharePath(windowsPath)) return std::nullopt;
  if (isSeparator(windowsPath[0])) {
    index = currentDriveIndex();
    i = 1;
  } else if (windowsPath.size() >= 3 && windowsPath[1] == ':' && isSeparator(windowsPath[2])) {
    index = letterIndex(windowsPath[0]);
    i = 3;
  }
  if (index < 0) return std::nullopt;
  std::vector<std::string_view> parts;
  while (i < windowsPath.size()) {
    std::size_t end = i;
    while (end < windowsPath.size() && !isSeparator(windowsPath[end])) ++end;
    const std::string_view part = windowsPath.substr(i, end - i);
    i = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      // Staying at the root would quietly turn "C:\..\x" into "C:\x"; a path
      // that tries to leave its drive is refused instead.
      if (parts.empty()) return std::nullopt;
      parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  auto root = rootOf(index);
  if (!root) return std::nullopt;
  Mapped result{*root, *root};
  for (std::string_view part : parts) {
    if (result.native.back() != '/') result.native += '/';
    result.native += cp1252ToUtf8(part);
  }
  return result;
}

bool isFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isUnder(const std::string& path, const std::string& root) {
  if (root == "/") return true;
  return path.compare(0, root.size(), root) == 0 &&
         (path.size() == root.size() || path[root.size()] == '/');
}

std::optional<std::string> resolvedRoot(const std::string& root) {
  std::unique_ptr<char, decltype(&std::free)> real(realpath(root.c_str(), nullptr), &std::free);
  if (!real) return std::nullopt;
  return cleanNativePath(real.get());
}

}  // namespace

bool isNetworkSharePath(std::string_view windowsPath) {
  return windowsPath.size() >= 2 && isSeparator(windowsPath[0]) && isSeparator(windowsPath[1]);
}

std::optional<std::string> toNativePath(std::string_view windowsPath) {
  auto mapped = mapPath(windowsPath);
  if (!mapped) return std::nullopt;
  return std::move(mapped->native);
}

std::string toWindowsPath(std::string_view nativePath) {
  const auto path = cleanNativePath(nativePath);
  if (!path) return "";
  // Paths handed over by the system (/proc/self/exe, realpath) have their
  // symbolic links resolved while a root such as $HOME may not, so each root
  // is tried both as written and resolved.
  const Roots roots = currentRoots();
  int bestIndex = -1;
  std::size_t bestLength = 0;
  for (int i = 0; i < 26; ++i) {
    if (!roots[i]) continue;
    const std::optional<std::string> candidates[] = {roots[i], resolvedRoot(*roots[i])};
    for (const auto& root : candidates) {
      if (!root || !isUnder(*path, *root)) continue;
      const std::size_t length = *root == "/" ? 0 : root->size();
      if (bestIndex < 0 || length > bestLength) {
        bestIndex = i;
        bestLength = length;
      }
    }
  }
  if (bestIndex < 0) return "";

  std::string out;
  out += static_cast<char>('A' + bestIndex);
  out += ":\\";
  std::string_view rest = std::string_view(*path).substr(bestLength);
  bool first = true;
  while (!rest.empty()) {
    rest.remove_prefix(1);  // the slash before each component
    std::size_t end = rest.find('/');
    if (end == std::string_view::npos) end = rest.size();
    std::string part = utf8ToCp1252(rest.substr(0, end));
    // A backslash is a separator on the other side; kept, it would split the
    // name into folders that do not exist.
    for (char& c : part) {
      if (c == '\\') c = '?';
    }
    if (!first) out += '\\';
    out += part;
    first = false;
    rest.remove_prefix(end);
  }
  return out;
}

bool createFolders(std::string_view windowsFolderPath) {
  const auto mapped = mapPath(windowsFolderPath);
  if (!mapped || !isFolder(mapped->root)) return false;
  const std::string& native = mapped->native;
  std::size_t i = mapped->root.size() + (mapped->root == "/" ? 0 : 1);
  while (i < native.size()) {
    std::size_t end = native.find('/', i);
    if (end == std::string::npos) end = native.size();
    const std::string prefix = native.substr(0, end);
    // Whatever mkdir says (EEXIST from a racing creator, or EACCES on a
    // folder that already exists), what counts is a folder being there.
    if (mkdir(prefix.c_str(), 0755) != 0 && !isFolder(prefix)) return false;
    i = end + 1;
  }
  return isFolder(native);
}

void setDriveLetter(char letter, const std::string& nativeRoot) {
  const int index = letterIndex(letter);
  if (index < 0) return;
  Drive drive;
  if (nativeRoot.empty()) {
    drive.slot = Slot::kRemoved;
  } else {
    auto root = cleanNativePath(nativeRoot);
    if (!root) return;
    drive = Drive{Slot::kMapped, std::move(*root)};
  }
  DriveTable& table = driveTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  // Read the environment first so that it cannot later override this call.
  readEnvironmentOnce(table);
  table.drives[index] = std::move(drive);
}

void resetDriveMapForTesting() {
  DriveTable& table = driveTable();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.environmentRead = false;
  table.drives = {};
}

}  // namespace platform
