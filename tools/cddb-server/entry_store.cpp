#include "tools/cddb-server/entry_store.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "platform/small_file.h"

namespace cddb_server {
namespace {

bool isLowerHexName(std::string_view name) {
  return isValidDiscId(name) &&
         std::none_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'F'; });
}

bool isEntryText(const std::string& bytes) {
  return bytes.size() <= kMaxEntryBytes && bytes.find('\0') == std::string::npos;
}

std::filesystem::path realRoot(const std::filesystem::path& root) {
  std::error_code ec;
  std::filesystem::path real = std::filesystem::canonical(root, ec);
  return ec ? root : real;
}

// Folder names under `folder` (or file names) that `accept` takes, sorted.
// An unreadable folder gives an empty list.
template <class Accept>
std::vector<std::string> listNames(const std::filesystem::path& folder, bool wantFolders,
                                   Accept accept) {
  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec), end;
  for (; !ec && it != end; it.increment(ec)) {
    // The entry itself, not what a link names: links are left out.
    std::error_code typeEc;
    const std::filesystem::file_status status = it->symlink_status(typeEc);
    const bool wanted = wantFolders ? std::filesystem::is_directory(status)
                                    : std::filesystem::is_regular_file(status);
    if (typeEc || !wanted) continue;
    std::string name = it->path().filename().string();
    if (accept(name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

bool isValidCategory(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_' || c == '-';
  });
}

bool isValidDiscId(std::string_view id) {
  if (id.size() != 8) return false;
  return std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
}

FolderStore::FolderStore(const std::filesystem::path& root) : root_(realRoot(root)) {}

std::vector<std::string> FolderStore::categories() const {
  return listNames(root_, true, [](const std::string& n) { return isValidCategory(n); });
}

std::vector<std::string> FolderStore::discIds(const std::string& category) const {
  if (!isValidCategory(category)) return {};
  return listNames(root_ / category, false, [](const std::string& n) { return isLowerHexName(n); });
}

std::optional<std::string> FolderStore::load(const std::string& category,
                                             const std::string& discId) const {
  if (!isValidCategory(category) || !isLowerHexName(discId)) return std::nullopt;
  // The root is a real path and the names hold no "." or "/": with neither
  // the folder nor the file a link, the file's real path is under the root.
  if (!exists(category, discId)) return std::nullopt;
  const std::string path = (root_ / category / discId).string();
  // Non-blocking and regular files only, so a FIFO put in the file's place
  // since the look cannot hang the read; the size is capped.
  platform::SmallFile file = platform::readSmallFile(path, kMaxEntryBytes);
  if (!file.ok || !isEntryText(file.text)) return std::nullopt;
  return std::move(file.text);
}

bool FolderStore::exists(const std::string& category, const std::string& discId) const {
  if (!isValidCategory(category) || !isLowerHexName(discId)) return false;
  // Called some 48 000 times for a query without a match in a large tree:
  // the path goes into a buffer on the stack, nothing is allocated.
  // lstat, not stat: neither the folder nor the entry may be a link. The
  // entry first: in a query's candidate look-ups it is mostly missing.
  char path[4096];
  const int n = std::snprintf(path, sizeof path, "%s/%s/%s", root_.c_str(), category.c_str(),
                              discId.c_str());
  if (n < 0 || static_cast<std::size_t>(n) >= sizeof path) return false;
  struct stat info {};
  if (::lstat(path, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  path[static_cast<std::size_t>(n) - discId.size() - 1] = '\0';
  return ::lstat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

std::size_t FolderStore::countEntries(const std::string& category, std::size_t stopAfter) const {
  if (!isValidCategory(category)) return 0;
  const std::filesystem::path folder = root_ / category;
  struct stat info {};
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return 0;
  const long long modified = static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL +
                             info.st_mtim.tv_nsec;
  {
    std::lock_guard<std::mutex> lock(countsMutex_);
    const auto known = counts_.find(category);
    if (known != counts_.end() && known->second.modifiedNs == modified &&
        (known->second.complete || known->second.count >= stopAfter))
      return std::min(known->second.count, stopAfter);
  }
  // Names only (readdir), no stat per file: a freedb folder holds hundreds
  // of thousands.
  Count counted;
  counted.modifiedNs = modified;
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
  if (!dir) return 0;
  counted.complete = true;
  while (const dirent* item = ::readdir(dir.get())) {
    if (item->d_type != DT_REG && item->d_type != DT_UNKNOWN) continue;
    if (!isLowerHexName(item->d_name)) continue;
    if (counted.count >= stopAfter) {
      counted.complete = false;
      break;
    }
    ++counted.count;
  }
  std::lock_guard<std::mutex> lock(countsMutex_);
  Count& stored = counts_[category];
  if (stored.modifiedNs != modified || counted.complete || counted.count > stored.count)
    stored = counted;
  return counted.count;
}

void MemoryStore::add(const std::string& category, const std::string& discId, std::string text) {
  entries_[category][discId] = std::move(text);
}

std::vector<std::string> MemoryStore::categories() const {
  std::vector<std::string> names;
  for (const auto& [name, entries] : entries_)
    if (isValidCategory(name)) names.push_back(name);
  return names;
}

std::vector<std::string> MemoryStore::discIds(const std::string& category) const {
  std::vector<std::string> ids;
  const auto found = entries_.find(category);
  if (found == entries_.end()) return ids;
  for (const auto& [id, text] : found->second)
    if (isLowerHexName(id)) ids.push_back(id);
  return ids;
}

std::optional<std::string> MemoryStore::load(const std::string& category,
                                             const std::string& discId) const {
  if (!isValidCategory(category) || !isLowerHexName(discId)) return std::nullopt;
  const auto cat = entries_.find(category);
  if (cat == entries_.end()) return std::nullopt;
  const auto entry = cat->second.find(discId);
  if (entry == cat->second.end() || !isEntryText(entry->second)) return std::nullopt;
  return entry->second;
}

bool MemoryStore::exists(const std::string& category, const std::string& discId) const {
  const auto cat = entries_.find(category);
  return cat != entries_.end() && isLowerHexName(discId) && cat->second.count(discId) != 0;
}

std::size_t MemoryStore::countEntries(const std::string& category, std::size_t stopAfter) const {
  return std::min(discIds(category).size(), stopAfter);
}

}  // namespace cddb_server
