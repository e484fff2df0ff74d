#include "rondel/rip/resync_read.h"

#include <cstring>

namespace rondel {

std::optional<std::size_t> findReferenceSector(const std::uint8_t* read, std::size_t readBytes,
                                               const std::uint8_t* reference,
                                               std::uint32_t overlap) {
  if (read == nullptr || reference == nullptr || overlap == 0) return std::nullopt;
  const std::size_t centre = std::size_t{overlap} * kSectorBytes;
  const auto equalAt = [&](std::size_t p) {
    return p + kSectorBytes <= readBytes && std::memcmp(read + p, reference, kSectorBytes) == 0;
  };
  for (std::size_t t = 0; t < centre; ++t) {
    if (equalAt(centre + t)) return centre + t;
    if (equalAt(centre - t)) return centre - t;
  }
  return std::nullopt;
}

std::optional<ResyncCopy> planResyncCopy(std::size_t match, std::size_t readBytes,
                                         std::uint32_t sectors, std::uint32_t overlap, bool last) {
  const std::size_t blockBytes = std::size_t{sectors} * kSectorBytes;
  const std::size_t centre = std::size_t{overlap} * kSectorBytes;
  ResyncCopy copy;
  copy.from = match + kSectorBytes;
  const std::size_t available = copy.from < readBytes ? readBytes - copy.from : 0;
  if (!last) {
    if (available < blockBytes) return std::nullopt;  // would hand on bytes this pass never read
    copy.copyBytes = blockBytes;
    return copy;
  }
  std::size_t wanted = blockBytes;
  if (match > centre) {
    const std::size_t t = match - centre;
    wanted = t < blockBytes ? blockBytes - t : 0;
  }
  copy.copyBytes = wanted < available ? wanted : available;
  copy.zeroBytes = blockBytes - copy.copyBytes;
  return copy;
}

bool realignBlock(const std::uint8_t* read, std::size_t readBytes, const std::uint8_t* reference,
                  std::uint32_t sectors, std::uint32_t overlap, bool last, std::uint8_t* dest) {
  if (dest == nullptr) return false;
  const auto match = findReferenceSector(read, readBytes, reference, overlap);
  if (!match) return false;
  const auto copy = planResyncCopy(*match, readBytes, sectors, overlap, last);
  if (!copy) return false;
  if (copy->copyBytes > 0) std::memcpy(dest, read + copy->from, copy->copyBytes);
  if (copy->zeroBytes > 0) std::memset(dest + copy->copyBytes, 0, copy->zeroBytes);
  return true;
}

}  // namespace rondel
