#include "disc_information.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace emulated_drive {
namespace {

std::size_t copyOut(const std::vector<std::uint8_t>& reply, std::uint8_t* data, std::size_t room) {
  const std::size_t n = std::min(room, reply.size());
  if (n > 0) std::memcpy(data, reply.data(), n);
  return n;
}

void putMsf(std::uint8_t* p, std::uint32_t lba) {
  const std::uint32_t f = lba + 150;
  p[0] = static_cast<std::uint8_t>(f / (60 * 75));
  p[1] = static_cast<std::uint8_t>(f / 75 % 60);
  p[2] = static_cast<std::uint8_t>(f % 75);
}

}  // namespace

std::size_t discInformation(const DiscImage& disc, std::uint8_t* data, std::size_t room) {
  std::vector<std::uint8_t> reply(34, 0);
  reply[1] = 32;                                        // data length
  reply[2] = 0x0E;                                      // last session complete, disc finished
  reply[3] = 1;                                         // first track
  reply[4] = 1;                                         // sessions
  reply[5] = 1;                                         // first track of the last session
  reply[6] = static_cast<std::uint8_t>(disc.tracks.size());  // its last track
  // reply[8], the disc type: 00h, CD-DA or CD-ROM (no mode 2 tracks here)
  std::fill(reply.begin() + 16, reply.begin() + 24, 0xFF);  // no next session, no lead-out to write
  return copyOut(reply, data, room);
}

std::size_t fullToc(const DiscImage& disc, std::uint8_t* data, std::size_t room) {
  std::vector<std::uint8_t> reply(4, 0);
  reply[2] = reply[3] = 1;  // sessions 1 to 1
  const auto entry = [&](std::uint8_t control, std::uint8_t point, const std::uint8_t pointTime[3]) {
    const std::uint8_t d[11] = {1, static_cast<std::uint8_t>(0x10 | control), 0, point, 0, 0, 0, 0,
                                pointTime[0], pointTime[1], pointTime[2]};
    reply.insert(reply.end(), d, d + 11);
  };
  const auto control = [&](std::size_t t) -> std::uint8_t { return disc.tracks[t].data ? 0x04 : 0x00; };
  const auto n = static_cast<std::uint8_t>(disc.tracks.size());
  const std::uint8_t first[3] = {1, 0x00, 0};  // first track, disc type CD-DA or CD-ROM
  const std::uint8_t last[3] = {n, 0, 0};
  std::uint8_t leadOut[3];
  putMsf(leadOut, disc.leadOut);
  entry(control(0), 0xA0, first);
  entry(control(n - 1), 0xA1, last);
  entry(control(n - 1), 0xA2, leadOut);
  for (std::uint8_t t = 0; t < n; ++t) {
    std::uint8_t start[3];
    putMsf(start, disc.tracks[t].start);
    entry(control(t), static_cast<std::uint8_t>(t + 1), start);
  }
  const std::size_t length = reply.size() - 2;
  reply[0] = static_cast<std::uint8_t>(length >> 8);
  reply[1] = static_cast<std::uint8_t>(length);
  return copyOut(reply, data, room);
}

}  // namespace emulated_drive
