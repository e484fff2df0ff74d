#include "drivers/cdr/cue_sessions.h"

#include <sstream>
#include <string>

namespace cdr {

int lastSessionFirstTrack(std::string_view cueText) {
  std::istringstream in{std::string(cueText)};
  int track = 0;
  bool waiting = false;  // a second or later session began, its first track not yet seen
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string word;
    words >> word;
    if (word == "REM") {
      std::string what;
      long session = 0;
      words >> what >> session;
      if (what == "SESSION" && session >= 2) {
        waiting = true;
        track = 0;
      }
    } else if (word == "TRACK" && waiting) {
      long number = 0;
      words >> number;
      track = number >= 1 && number <= 99 ? static_cast<int>(number) : 0;
      waiting = false;
    }
  }
  return track;
}

}  // namespace cdr
