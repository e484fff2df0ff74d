#include "host/view/fltk/bound.h"

#include <algorithm>

#include "platform/codepage.h"

namespace qomhost::fltk {

std::string toFltk(const std::string& cp1252) { return platform::cp1252ToUtf8(cp1252); }

std::string fromFltk(const char* utf8) {
  return utf8 == nullptr ? std::string() : platform::utf8ToCp1252(utf8);
}

int pixelSize(int toolkitSize) { return std::max(6, (toolkitSize * 4 + 2) / 5); }

std::string escapeLabel(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (char c : utf8) {
    if (c == '@' || c == '&') out.push_back(c);
    out.push_back(c);
  }
  return out;
}

}  // namespace qomhost::fltk
