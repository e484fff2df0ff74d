#include "drivers/cdr/toc_file.h"

#include <sstream>
#include <stdexcept>

namespace cdr {

std::string absoluteTocText(const std::string& text, const std::string& dir) {
  if (dir.find_first_of("\"\\\n") != std::string::npos)
    throw std::runtime_error("its folder's name holds a quote, backslash or line break");
  std::string out;
  out.reserve(text.size() + 256);
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const std::size_t keyAt = line.find_first_not_of(" \t");
    std::size_t keyEnd = keyAt == std::string::npos ? keyAt : line.find_first_of(" \t", keyAt);
    const std::string key =
        keyAt == std::string::npos ? "" : line.substr(keyAt, keyEnd == std::string::npos ? keyEnd : keyEnd - keyAt);
    if ((key == "FILE" || key == "AUDIOFILE" || key == "DATAFILE") && keyEnd != std::string::npos) {
      const std::size_t open = line.find_first_not_of(" \t", keyEnd);
      if (open != std::string::npos && line[open] == '"') {
        const std::size_t close = line.find('"', open + 1);
        if (close == std::string::npos) throw std::runtime_error("a file name is not closed");
        const std::string name = line.substr(open + 1, close - open - 1);
        if (name.find('\\') != std::string::npos)
          throw std::runtime_error("a file name holds escapes");
        if (!name.empty() && name.front() != '/') line.insert(open + 1, dir + "/");
      }
    }
    out += line;
    out += '\n';
  }
  return out;
}

}  // namespace cdr
