#include "tools/cddb-server/accuraterip_files.h"

#include <sys/stat.h>

#include <filesystem>

#include "platform/small_file.h"

namespace cddb_server {
namespace {

bool lowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

bool lowerHexRun(std::string_view text, std::size_t at, std::size_t count) {
  if (at + count > text.size()) return false;
  for (std::size_t i = at; i < at + count; ++i)
    if (!lowerHex(text[i])) return false;
  return true;
}

}  // namespace

std::optional<std::string> accurateRipFileName(std::string_view path) {
  if (path.substr(0, kAccurateRipPrefix.size()) != kAccurateRipPrefix) return std::nullopt;
  const std::string_view name = path.substr(kAccurateRipPrefix.size());
  // "x/y/z/" + "dBAR-" + "NNN-" + three "xxxxxxxx-"/".bin" parts.
  static constexpr std::string_view kShape = "x/y/z/dBAR-NNN-aaaaaaaa-bbbbbbbb-ffffffff.bin";
  if (name.size() != kShape.size()) return std::nullopt;
  for (std::size_t folder = 0; folder < 3; ++folder)
    if (!lowerHex(name[2 * folder]) || name[2 * folder + 1] != '/') return std::nullopt;
  if (name.substr(6, 5) != "dBAR-" || name[14] != '-' || name[23] != '-' || name[32] != '-' ||
      name.substr(41) != ".bin")
    return std::nullopt;
  for (std::size_t i = 11; i < 14; ++i)
    if (name[i] < '0' || name[i] > '9') return std::nullopt;
  if (!lowerHexRun(name, 15, 8) || !lowerHexRun(name, 24, 8) || !lowerHexRun(name, 33, 8)) return std::nullopt;
  // The folders are id1's last three digits, last first.
  if (name[0] != name[22] || name[2] != name[21] || name[4] != name[20]) return std::nullopt;
  return std::string(name);
}

std::optional<std::string> loadAccurateRipFile(const std::string& root, const std::string& name) {
  std::error_code ec;
  const std::filesystem::path base = std::filesystem::canonical(root, ec);
  if (ec) return std::nullopt;
  // lstat each step: no folder on the way and not the file may be a link,
  // so the file read lies under the root whatever the folder holds.
  std::filesystem::path at = base;
  std::size_t from = 0;
  for (;;) {
    const std::size_t slash = name.find('/', from);
    at /= name.substr(from, slash == std::string::npos ? std::string::npos : slash - from);
    struct stat info {};
    if (::lstat(at.c_str(), &info) != 0) return std::nullopt;
    const bool last = slash == std::string::npos;
    if (last ? !S_ISREG(info.st_mode) : !S_ISDIR(info.st_mode)) return std::nullopt;
    if (last) break;
    from = slash + 1;
  }
  // Opened without blocking and checked again as opened, so a FIFO put in
  // the file's place since the look cannot hang a worker.
  platform::SmallFile file = platform::readSmallFile(at.string(), kMaxAccurateRipFileBytes);
  if (!file.ok) return std::nullopt;
  return std::move(file.text);
}

}  // namespace cddb_server
