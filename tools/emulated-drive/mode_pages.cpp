#include "mode_pages.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace emulated_drive {
namespace {

enum class Control { Current, Changeable, Default };

void put16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v >> 8);
  p[1] = static_cast<std::uint8_t>(v);
}

// One page's bytes; an empty vector for a page this drive does not have.
// Nothing is changeable: the changeable values are all zero bits.
std::vector<std::uint8_t> page(std::uint8_t code, Control control, const MechanismState& state) {
  std::vector<std::uint8_t> p;
  switch (code) {
    case 0x01:  // read error recovery: the drive's own retries, no reporting
      p = {0x01, 0x0A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      if (control != Control::Changeable) p[3] = 5;  // read retry count
      break;
    case 0x0D:  // CD device parameters: MSF units
      p = {0x0D, 0x06, 0, 0, 0, 0, 0, 0};
      if (control != Control::Changeable) {
        put16(&p[4], 60);  // S units per M
        put16(&p[6], 75);  // F units per S
      }
      break;
    case 0x0E:  // CD audio control: both output ports at full volume, each its own channel
      p = {0x0E, 0x0E, 0x04, 0, 0, 0, 0, 0, 0x01, 0xFF, 0x02, 0xFF, 0, 0, 0, 0};
      if (control == Control::Changeable) p = {0x0E, 0x0E, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
      break;
    case 0x2A: {  // capabilities and mechanical status, no write speed descriptors
      p.assign(32, 0);
      p[0] = 0x2A;
      p[1] = 0x1E;
      if (control == Control::Changeable) break;
      p[2] = 0x1F;  // reads CD-R, CD-RW, method 2, DVD-ROM, DVD-R
      p[3] = 0x00;  // writes nothing
      p[4] = 0x71;  // audio play, mode 2 form 1 and form 2, multi-session
      p[5] = 0x63;  // CD-DA commands, accurate CD-DA stream, ISRC and UPC readable
      const bool locked = control == Control::Current && state.locked;
      p[6] = static_cast<std::uint8_t>(0x20 | 0x08 | 0x01 | (locked ? 0x02 : 0));  // tray, eject, lock
      p[7] = 0x03;  // separate volume and mute per channel
      put16(&p[8], kMaxReadKbs);
      put16(&p[10], 256);  // volume levels
      put16(&p[12], 2048);  // buffer, KB
      const std::uint32_t current = control == Control::Current && state.speedKbs != 0
                                        ? std::min(state.speedKbs, kMaxReadKbs)
                                        : kMaxReadKbs;
      put16(&p[14], current);
      put16(&p[22], 1);  // copy management revision
      break;
    }
    default:
      break;
  }
  return p;
}

}  // namespace

Answer modeSense(const std::uint8_t* cdb, std::size_t cdbLength, std::uint8_t* data, std::size_t room,
                 const MechanismState& state, const ModeSettings& settings) {
  const auto at = [&](std::size_t i) -> std::uint8_t { return i < cdbLength ? cdb[i] : 0; };
  const bool ten = cdb[0] == 0x5A;
  const std::uint8_t pageCode = at(2) & 0x3F;
  const std::uint8_t pageControl = at(2) >> 6;
  const std::uint8_t subpage = at(3);
  if (pageControl == 3) return checkCondition(0x05, 0x39, 0x00);  // saving parameters not supported
  if (subpage != 0 && !(pageCode == 0x3F && subpage == 0xFF)) return checkCondition(0x05, 0x24, 0x00);
  const Control control = pageControl == 1 ? Control::Changeable
                          : pageControl == 2 ? Control::Default
                                             : Control::Current;
  std::vector<std::uint8_t> reply(ten ? 8 : 4, 0);
  if (!ten && (at(1) & 0x08) == 0) {  // one block descriptor
    reply[3] = 8;
    const std::uint8_t descriptor[8] = {settings.density, 0, 0, 0, 0,
                                        static_cast<std::uint8_t>(settings.blockLength >> 16),
                                        static_cast<std::uint8_t>(settings.blockLength >> 8),
                                        static_cast<std::uint8_t>(settings.blockLength)};
    reply.insert(reply.end(), descriptor, descriptor + 8);
  }
  const std::size_t beforePages = reply.size();
  for (const std::uint8_t code : {0x01, 0x0D, 0x0E, 0x2A}) {
    if (pageCode != 0x3F && pageCode != code) continue;
    const std::vector<std::uint8_t> p = page(code, control, state);
    reply.insert(reply.end(), p.begin(), p.end());
  }
  if (reply.size() == beforePages) return checkCondition(0x05, 0x24, 0x00);  // no such page
  // The mode data length counts the bytes after itself.
  if (ten) put16(&reply[0], static_cast<std::uint32_t>(reply.size() - 2));
  else reply[0] = static_cast<std::uint8_t>(reply.size() - 1);
  const std::size_t allocation = ten ? (std::size_t{at(7)} << 8 | at(8)) : at(4);
  Answer ok;
  ok.bytes = std::min({room, allocation, reply.size()});
  if (ok.bytes > 0) std::memcpy(data, reply.data(), ok.bytes);
  return ok;
}

Answer modeSelect(const std::uint8_t* cdb, std::size_t cdbLength, const std::uint8_t* list,
                  std::size_t sent, ModeSettings& settings) {
  const auto at = [&](std::size_t i) -> std::uint8_t { return i < cdbLength ? cdb[i] : 0; };
  const bool ten = cdb[0] == 0x55;
  const std::size_t length = ten ? (std::size_t{at(7)} << 8 | at(8)) : at(4);
  if (length == 0) return {};  // nothing sent, nothing changed
  const std::size_t header = ten ? 8 : 4;
  if (list == nullptr || sent < length || length < header) return checkCondition(0x05, 0x1A, 0x00);
  const auto invalid = [] { return checkCondition(0x05, 0x26, 0x00); };  // invalid field in parameter list
  const std::size_t descriptors = ten ? (std::size_t{list[6]} << 8 | list[7]) : list[3];
  if ((descriptors != 0 && descriptors != 8) || header + descriptors > length) return invalid();
  ModeSettings next = settings;
  if (descriptors == 8) {
    const std::uint8_t* d = list + header;
    const std::uint32_t block = std::uint32_t{d[5]} << 16 | std::uint32_t{d[6]} << 8 | d[7];
    if (block != 2048 && block != 2336 && block != 2340 && block != 2352) return invalid();
    next.density = d[0];
    next.blockLength = block;
  }
  for (std::size_t p = header + descriptors; p < length;) {
    if (p + 2 > length) return invalid();
    const std::uint8_t code = list[p] & 0x3F;
    const std::size_t pageLength = std::size_t{list[p + 1]} + 2;
    if ((code != 0x01 && code != 0x0D && code != 0x0E && code != 0x2A) || p + pageLength > length)
      return invalid();
    p += pageLength;
  }
  settings = next;
  return {};
}

}  // namespace emulated_drive
