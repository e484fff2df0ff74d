#include "sub_channel.h"

#include <algorithm>
#include <cstring>

namespace emulated_drive {
namespace {

// An address as READ SUB-CHANNEL gives it: LBA, or MSF (absolute ones with
// the two-second lead-in offset, track-relative ones without).
void putAddress(std::uint8_t* p, std::int64_t sectors, bool msf, bool absolute) {
  if (!msf) {
    const auto v = static_cast<std::uint32_t>(sectors);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (24 - 8 * i));
    return;
  }
  const std::int64_t f = std::max<std::int64_t>(0, absolute ? sectors + 150 : sectors < 0 ? -sectors : sectors);
  p[0] = 0;
  p[1] = static_cast<std::uint8_t>(f / (60 * 75));
  p[2] = static_cast<std::uint8_t>(f / 75 % 60);
  p[3] = static_cast<std::uint8_t>(f % 75);
}

}  // namespace

QPosition positionAt(const DiscImage& disc, std::uint32_t lba) {
  QPosition q;
  q.absolute = lba;
  for (std::size_t t = 0; t < disc.tracks.size(); ++t) {
    if (t > 0 && disc.tracks[t].start > lba) break;
    q.track = static_cast<std::uint8_t>(t + 1);
    q.control = disc.tracks[t].data ? 0x04 : 0x00;
    q.relative = static_cast<std::int32_t>(lba) - static_cast<std::int32_t>(disc.tracks[t].start);
  }
  q.index = q.relative < 0 ? 0 : 1;  // before track 1's INDEX 01: its pre-gap
  return q;
}

Answer readSubChannel(const std::uint8_t* cdb, std::size_t cdbLength, const DiscImage& disc,
                      const DiscCodes& codes, std::uint32_t head, std::uint8_t audioStatus,
                      std::uint8_t* data, std::size_t room) {
  const auto at = [&](std::size_t i) -> std::uint8_t { return i < cdbLength ? cdb[i] : 0; };
  const bool msf = (at(1) & 0x02) != 0;
  const bool subQ = (at(2) & 0x40) != 0;
  const std::uint8_t format = at(3);
  const std::uint8_t trackAsked = at(6);
  std::uint8_t reply[24] = {};
  reply[1] = audioStatus;
  std::size_t length = 4;
  if (subQ) {
    switch (format) {
      case 0x01: {
        const QPosition q = positionAt(disc, head);
        reply[4] = 0x01;
        reply[5] = static_cast<std::uint8_t>(0x10 | q.control);
        reply[6] = q.track;
        reply[7] = q.index;
        putAddress(reply + 8, q.absolute, msf, true);
        putAddress(reply + 12, q.relative, msf, false);
        length = 16;
        break;
      }
      case 0x02:
        reply[4] = 0x02;
        if (!codes.catalog.empty()) {
          reply[8] = 0x80;  // MCVal
          std::memcpy(reply + 9, codes.catalog.data(), 13);
        }
        length = 24;
        break;
      case 0x03: {
        if (trackAsked < 1 || trackAsked > disc.tracks.size()) return checkCondition(0x05, 0x24, 0x00);
        reply[4] = 0x03;
        reply[5] = static_cast<std::uint8_t>(0x10 | (disc.tracks[trackAsked - 1].data ? 0x04 : 0));
        reply[6] = trackAsked;
        const auto code = codes.isrc.find(trackAsked);
        if (code != codes.isrc.end()) {
          reply[8] = 0x80;  // TCVal
          std::memcpy(reply + 9, code->second.data(), 12);
        }
        length = 24;
        break;
      }
      default:
        return checkCondition(0x05, 0x24, 0x00);
    }
  }
  reply[3] = static_cast<std::uint8_t>(length - 4);
  const std::size_t allocation = std::size_t{at(7)} << 8 | at(8);
  Answer ok;
  ok.bytes = std::min({room, allocation, length});
  if (ok.bytes > 0) std::memcpy(data, reply, ok.bytes);
  return ok;
}

}  // namespace emulated_drive
