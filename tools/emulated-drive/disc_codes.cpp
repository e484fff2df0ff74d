#include "disc_codes.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace emulated_drive {
namespace {

bool allOf(const std::string& text, std::size_t length, int (*accept)(int)) {
  return text.size() == length &&
         std::all_of(text.begin(), text.end(), [&](char c) { return accept(static_cast<unsigned char>(c)) != 0; });
}

int upperOrDigit(int c) { return (std::isupper(c) != 0 || std::isdigit(c) != 0) ? 1 : 0; }

}  // namespace

DiscCodes loadCodes(const std::string& cuePath) {
  DiscCodes codes;
  std::ifstream in(cuePath);
  unsigned track = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word, value;
    words >> word >> value;
    if (word == "TRACK") {
      ++track;
    } else if (word == "CATALOG" && track == 0) {
      if (allOf(value, 13, [](int c) { return std::isdigit(c); })) codes.catalog = value;
    } else if (word == "ISRC" && track > 0 && track <= 99) {
      if (allOf(value, 12, upperOrDigit)) codes.isrc[track] = value;
    }
  }
  return codes;
}

}  // namespace emulated_drive
