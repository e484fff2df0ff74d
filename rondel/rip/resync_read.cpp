#include "rondel/rip/resync_read.h"

#include <cstring>

namespace rondel {

std::optional<std::size_t> findReferenceSector(const std::uint8_t* read, std::size_t readBytes,
                                               const std::uint8_t* reference,
                                               std::uint32_t overlap, std::int64_t drift,
                                               std::uint32_t referenceSectors) {
  const std::size_t referenceBytes = std::size_t{referenceSectors} * kSectorBytes;
  if (read == nullptr || reference == nullptr || overlap == 0 || referenceSectors == 0 ||
      readBytes < referenceBytes)
    return std::nullopt;
  // Positions 0 .. last are searched, outward from the start position.
  std::size_t last = expectedReferencePosition(overlap) + std::size_t{overlap} * kSectorBytes;
  if (last > readBytes - referenceBytes) last = readBytes - referenceBytes;
  const std::int64_t wanted = static_cast<std::int64_t>(expectedReferencePosition(overlap)) + drift;
  const std::size_t start = wanted < 0 ? 0
                            : static_cast<std::uint64_t>(wanted) > last
                                ? last
                                : static_cast<std::size_t>(wanted);
  const auto equalAt = [&](std::size_t p) {
    return std::memcmp(read + p, reference, referenceBytes) == 0;
  };
  const std::size_t reach = start > last - start ? start : last - start;
  for (std::size_t t = 0; t <= reach; ++t) {
    if (t <= last - start && equalAt(start + t)) return start + t;
    if (t > 0 && t <= start && equalAt(start - t)) return start - t;
  }
  return std::nullopt;
}

ResyncCopy planResyncCopy(std::size_t match, std::size_t readBytes, std::uint32_t sectors) {
  const std::size_t blockBytes = std::size_t{sectors} * kSectorBytes;
  ResyncCopy copy;
  copy.from = match + kSectorBytes;
  const std::size_t available = copy.from < readBytes ? readBytes - copy.from : 0;
  copy.copyBytes = available < blockBytes ? available : blockBytes;
  copy.complete = copy.copyBytes == blockBytes;
  return copy;
}

bool isSelfSimilarSector(const std::uint8_t* audio, std::uint32_t sectors) {
  if (audio == nullptr || sectors == 0) return false;
  constexpr std::size_t kFrameBytes = 4;
  const std::size_t bytes = std::size_t{sectors} * kSectorBytes;
  std::uint32_t first;
  std::memcpy(&first, audio, kFrameBytes);
  for (std::size_t shift = kFrameBytes; shift < bytes; shift += kFrameBytes) {
    // The first frame rules out almost every shift of ordinary audio
    // before the whole comparison runs.
    std::uint32_t frame;
    std::memcpy(&frame, audio + shift, kFrameBytes);
    if (frame == first && std::memcmp(audio, audio + shift, bytes - shift) == 0) return true;
  }
  return false;
}

}  // namespace rondel
