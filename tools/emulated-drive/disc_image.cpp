#include "disc_image.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace emulated_drive {

std::string loadCue(const std::string& cuePath, DiscImage& disc) {
  std::ifstream in(cuePath);
  if (!in) return "cannot read " + cuePath;
  const std::size_t slash = cuePath.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : cuePath.substr(0, slash);
  disc = DiscImage{};
  std::string line;
  bool pendingData = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "FILE") {
      const std::size_t open = line.find('"'), close = line.rfind('"');
      if (open == std::string::npos || close <= open) return "FILE without a quoted name";
      const std::string name = line.substr(open + 1, close - open - 1);
      disc.bin = name.front() == '/' ? name : folder + "/" + name;
    } else if (word == "TRACK") {
      std::string number, type;
      words >> number >> type;
      pendingData = type != "AUDIO";
    } else if (word == "INDEX") {
      unsigned index = 0, m = 0, s = 0, f = 0;
      std::string at;
      words >> index >> at;
      if (index != 1) continue;
      if (std::sscanf(at.c_str(), "%u:%u:%u", &m, &s, &f) != 3) return "bad INDEX " + at;
      disc.tracks.push_back({(m * 60 + s) * 75 + f, pendingData});
    }
  }
  // Through the stream, not stat or open: those calls are the emulation's
  // own, and its lock is held here.
  std::ifstream bin(disc.bin, std::ios::binary | std::ios::ate);
  if (disc.bin.empty() || !bin) return "no BINARY file in " + cuePath;
  disc.leadOut = static_cast<std::uint32_t>(static_cast<std::uint64_t>(bin.tellg()) / 2352);
  if (disc.tracks.empty() || disc.tracks.size() > 99) return "no tracks in " + cuePath;
  return "";
}

}  // namespace emulated_drive
