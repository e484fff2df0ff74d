#include "drivers/cdr/drive_names.h"

#include <algorithm>
#include <set>

#include "sdk/cdr_api.h"

namespace cdr {

std::vector<std::string> uniqueNames(std::vector<std::string> wanted) {
  constexpr std::size_t kRoom = kCdDeviceNameBytes - 1;
  for (std::string& name : wanted) {
    std::replace(name.begin(), name.end(), ';', ',');
    if (name.size() > kRoom) name.resize(kRoom);
  }
  // Names as given are reserved first, so "Twin (2)" set by the user stays
  // that drive's name when another "Twin" needs a number.
  std::set<std::string> taken(wanted.begin(), wanted.end());
  std::set<std::string> used;
  std::vector<std::string> names;
  for (const std::string& name : wanted) {
    if (used.insert(name).second) {
      names.push_back(name);
      continue;
    }
    for (unsigned n = 2;; ++n) {
      const std::string suffix = " (" + std::to_string(n) + ")";
      const std::string candidate = name.substr(0, kRoom - suffix.size()) + suffix;
      if (taken.count(candidate) == 0 && used.count(candidate) == 0) {
        used.insert(candidate);
        names.push_back(candidate);
        break;
      }
    }
  }
  return names;
}

}  // namespace cdr
