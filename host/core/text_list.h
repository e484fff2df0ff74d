#pragma once
// Lists served by text feeds: items joined with ";".
#include <sstream>
#include <string>
#include <vector>

namespace qomhost {

// "a;b;" gives {"a", "b", ""}; an empty text gives no item.
inline std::vector<std::string> splitList(const std::string& list) {
  std::vector<std::string> items;
  if (list.empty()) return items;
  std::stringstream in(list);
  std::string item;
  while (std::getline(in, item, ';')) items.push_back(item);
  if (list.back() == ';') items.emplace_back();
  return items;
}

}  // namespace qomhost
