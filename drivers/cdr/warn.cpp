#include "drivers/cdr/warn.h"

#include <cstdio>

namespace cdr {
namespace {

constexpr std::size_t kMaxWarningChars = 400;

}  // namespace

void warnLine(const std::string& text) {
  std::string line = "cdr.dll: " + text;
  if (line.size() > kMaxWarningChars) line.replace(kMaxWarningChars - 3, std::string::npos, "...");
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  line += '\n';
  // One fputs per line: stdio locks the stream, so lines from threads do not interleave.
  std::fputs(line.c_str(), stderr);
}

}  // namespace cdr
