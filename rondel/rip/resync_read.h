#pragma once
// The search and copy of an overlapped read, on plain bytes (no drive):
// a drive that does not return audio at exactly the asked sector is
// realigned by re-reading a few sectors before each block and finding in
// them the last sector already delivered (the reference sector).
//
// A pass reads from `overlap` sectors before the block's first sector L,
// so with an exact drive the reference sector (L - 1) lies at byte
// (overlap - 1) * 2352 of what was read: the expected position. The search
// starts there (or where the drive's last match says it reads) and works
// outward, one byte further each step, trying the later position before
// the earlier one at equal distance; the first
// position whose 2352 bytes equal the reference sector wins. An exact read
// is thus found by the first comparison, and where several positions hold
// the reference sector (digital silence, a pure tone) the one nearest to
// where an exact drive puts it wins, so ambiguous audio never shifts an
// exact stream. The block is the sectors after the match.
//
// Only bytes this pass read are ever compared or copied: the search skips
// positions whose comparison would reach past them, and a copy that would
// reach past them is reported short (the reader reads again).
//
// Pure; any thread.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace rondel {

constexpr std::uint32_t kSectorBytes = 2352;
constexpr std::uint32_t kOverlapSectors = 3;      // the normal window
constexpr std::uint32_t kWideOverlapSectors = 8;  // the window of a block that found no match
// How far back a distinct sector may lie and still anchor a block that
// follows self-similar audio (silence, a pure tone).
constexpr std::uint32_t kAnchorReachSectors = 48;
// The overlapped reads' buffer for blocks of `sectorsPerBlock` sectors.
constexpr std::uint64_t overlapBufferSectors(std::uint32_t sectorsPerBlock) {
  return 2 * (std::uint64_t{kWideOverlapSectors} + sectorsPerBlock) + 1 + kAnchorReachSectors;
}

// Where an exact read of `overlap` sectors before a block puts the
// reference sector.
constexpr std::size_t expectedReferencePosition(std::uint32_t overlap) {
  return overlap == 0 ? 0 : std::size_t{overlap - 1} * kSectorBytes;
}

// The position nearest to the expected one moved by `drift` bytes where
// the reference sector (2352 bytes) lies within the `readBytes` bytes at
// `read`, searched from the read's start up to overlap sectors past the
// expected position; nullopt without one. The drift is where the drive put
// the reference sector last time, relative to the expected position: 0 for
// an exact drive, and the same again for a drive that keeps its offset to
// the stream, so that such a drive, too, is matched by the first
// comparison and never at another copy of self-similar audio.
// A reference of `referenceSectors` sectors is searched for as a whole.
std::optional<std::size_t> findReferenceSector(const std::uint8_t* read, std::size_t readBytes,
                                               const std::uint8_t* reference,
                                               std::uint32_t overlap, std::int64_t drift = 0,
                                               std::uint32_t referenceSectors = 1);

// What a match at `match` gives a block of `sectors` sectors: the bytes
// from read + match + 2352, as many as this pass read (copyBytes); the
// block is complete when copyBytes is the whole block.
struct ResyncCopy {
  std::size_t from = 0;
  std::size_t copyBytes = 0;
  bool complete = false;
};
ResyncCopy planResyncCopy(std::size_t match, std::size_t readBytes, std::uint32_t sectors);

// Whether `sectors` sectors of audio equal themselves moved by a whole
// number of stereo frames (fewer than they hold), as digital silence and a
// tone whose period is shorter than a sector do. Such a reference is found
// at several positions, so a drive that jitters can be matched at the
// wrong one. Two sectors across the start of a tone after silence are not
// self-similar even where each alone is.
bool isSelfSimilarSector(const std::uint8_t* audio, std::uint32_t sectors = 1);

}  // namespace rondel
