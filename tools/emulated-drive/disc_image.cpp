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
  int session = 1;
  std::uint32_t firstIndex = 0;
  bool haveFirstIndex = false;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "REM") {
      std::string what;
      int number = 0;
      words >> what >> number;
      // Sessions rise by one, after a track of the one before.
      if (what == "SESSION" && number == session + 1 && !disc.tracks.empty()) session = number;
      else if (what == "SESSION" && number != session) return "bad REM SESSION " + std::to_string(number);
    } else if (word == "FILE") {
      const std::size_t open = line.find('"'), close = line.rfind('"');
      if (open == std::string::npos || close <= open) return "FILE without a quoted name";
      const std::string name = line.substr(open + 1, close - open - 1);
      disc.bin = name.front() == '/' ? name : folder + "/" + name;
    } else if (word == "TRACK") {
      std::string number, type;
      words >> number >> type;
      pendingData = type != "AUDIO";
      haveFirstIndex = false;
    } else if (word == "INDEX") {
      unsigned index = 0, m = 0, s = 0, f = 0;
      std::string at;
      words >> index >> at;
      if (std::sscanf(at.c_str(), "%u:%u:%u", &m, &s, &f) != 3 || s > 59 || f > 74 || m > 99)
        return "bad INDEX " + at;
      const std::uint32_t lba = (m * 60 + s) * 75 + f;
      if (!haveFirstIndex) firstIndex = lba;
      haveFirstIndex = true;
      if (index != 1) continue;
      if (!disc.tracks.empty() && lba <= disc.tracks.back().start) return "INDEX 01 times out of order";
      disc.tracks.push_back({lba, pendingData, session, firstIndex});
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

std::size_t DiscImage::lastSessionFirstTrack() const {
  std::size_t t = tracks.size();
  while (t > 0 && tracks[t - 1].session == sessions()) --t;
  return t;
}

std::uint32_t DiscImage::gapStart() const {
  if (sessions() == 1) return 0;
  return tracks[lastSessionFirstTrack()].firstIndex;
}

std::uint32_t DiscImage::gapEnd() const {
  if (sessions() == 1) return 0;
  return tracks[lastSessionFirstTrack()].start;
}

}  // namespace emulated_drive
