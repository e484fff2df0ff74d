#include "rondel/rip/output_paths.h"

#include "platform/codepage.h"
#include "platform/winpath.h"
#include "rondel/rip/output_limits.h"

namespace rondel {

bool pathLiesUnder(const std::string& path, const std::string& folder) {
  const auto native = platform::toNativePath(path);
  if (!native) return true;
  const auto root = folder.empty() ? std::nullopt : platform::toNativePath(folder);
  if (!root) return false;
  if (*root == "/") return native->size() > 1;
  return native->size() > root->size() + 1 && native->compare(0, root->size(), *root) == 0 &&
         (*native)[root->size()] == '/';
}

std::string numberedPath(const std::string& path, std::uint32_t n) {
  const std::string suffix = " (" + std::to_string(n) + ")";
  const std::size_t nameStart = path.rfind('\\') == std::string::npos ? 0 : path.rfind('\\') + 1;
  std::string name = path.substr(nameStart);
  if (nameStart + suffix.size() + 1 > kMaxJobPath) return {};  // not one character of the name fits
  const std::size_t room = kMaxJobPath - nameStart - suffix.size();
  if (name.size() > room) name.resize(room);
  while (!name.empty() &&
         (name.back() == ' ' || platform::cp1252ToUtf8(name).size() + suffix.size() > kMaxFileNameBytes))
    name.pop_back();
  return path.substr(0, nameStart) + name + suffix;
}

std::string withoutExtension(const std::string& nativeName) {
  const std::size_t dot = nativeName.rfind('.');
  const std::size_t slash = nativeName.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return nativeName;
  return nativeName.substr(0, dot);
}

}  // namespace rondel
