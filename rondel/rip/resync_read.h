#pragma once
// The search and copy of an overlapped read, on plain bytes (no drive):
// a drive that does not return audio at exactly the asked sector is
// realigned by re-reading a few sectors before each block and finding in
// them the last sector already delivered (the reference sector).
//
// A pass reads from `overlap` sectors before the block's first sector L,
// so with an exact drive the reference sector (L - 1) lies at byte
// (overlap - 1) * 2352 of what was read and the block starts one sector
// after it. The search tries, for t = 0 .. overlap * 2352 - 1, first the
// position overlap * 2352 + t, then overlap * 2352 - t; the first position
// whose 2352 bytes equal the reference sector wins. Two equal successive
// sectors (digital silence) therefore match forward at t = 0, one sector
// late, and the copy starts one sector after the asked one: intended, and
// kept.
//
// Only bytes this pass read are ever compared or copied: a position whose
// comparison would reach past them is skipped, a middle block whose copy
// would reach past them fails the pass (the caller reads again), and in a
// last block the missing tail is zeroed.
//
// Pure; any thread.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace rondel {

constexpr std::uint32_t kSectorBytes = 2352;
constexpr std::uint32_t kOverlapSectors = 3;

// The first position, in search order, where the reference sector (2352
// bytes) lies within the `readBytes` bytes at `read`; nullopt without one.
std::optional<std::size_t> findReferenceSector(const std::uint8_t* read, std::size_t readBytes,
                                               const std::uint8_t* reference,
                                               std::uint32_t overlap);

// What to put into a block of `sectors` sectors after a match at `match`:
// copyBytes from read + from, then zeroBytes of zeros (together the block's
// bytes).
struct ResyncCopy {
  std::size_t from = 0;
  std::size_t copyBytes = 0;
  std::size_t zeroBytes = 0;
};

// The copy rule for a match (from = match + 2352):
// - middle block: the whole block; nullopt when that reaches past readBytes;
// - last block: a forward match at overlap * 2352 + t (t > 0) copies the
//   block's bytes less t, anything else the whole block; whatever of that
//   lies past readBytes is not copied; the rest of the block is zeros.
std::optional<ResyncCopy> planResyncCopy(std::size_t match, std::size_t readBytes,
                                         std::uint32_t sectors, std::uint32_t overlap, bool last);

// Search and copy in one: fills `dest` (sectors * 2352 bytes). False, with
// `dest` untouched, when there is no match or the match cannot be used.
bool realignBlock(const std::uint8_t* read, std::size_t readBytes, const std::uint8_t* reference,
                  std::uint32_t sectors, std::uint32_t overlap, bool last, std::uint8_t* dest);

}  // namespace rondel
