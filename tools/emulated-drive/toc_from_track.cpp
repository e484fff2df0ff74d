#include "toc_from_track.h"

#include <cstring>

namespace emulated_drive {

std::size_t keepFromTrack(std::uint8_t* reply, std::size_t length, std::uint8_t first) {
  std::size_t kept = 4;
  for (std::size_t d = 4; d + 8 <= length; d += 8) {
    const std::uint8_t track = reply[d + 2];
    // The lead-out (AAh) comes after every track; asking for track AAh
    // gives it alone.
    if (track == 0xAA ? true : first != 0xAA && track >= first) {
      std::memmove(reply + kept, reply + d, 8);
      kept += 8;
    }
  }
  if (kept == 4 || (first != 0xAA && kept == 12 && reply[6] == 0xAA)) return 0;
  reply[0] = static_cast<std::uint8_t>((kept - 2) >> 8);
  reply[1] = static_cast<std::uint8_t>(kept - 2);
  return kept;
}

}  // namespace emulated_drive
