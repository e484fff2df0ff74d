// The overlapped read's search and copy on plain bytes: a "disc" whose every
// 4-byte frame holds its own number, read as a drive that misses the asked
// position by a given number of bytes would read it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "rondel/rip/resync_read.h"

namespace {

using rondel::kSectorBytes;
constexpr std::uint32_t k = rondel::kOverlapSectors;

// `bytes` bytes of the disc from byte `offset` (frame n holds n, LE).
std::vector<std::uint8_t> disc(std::int64_t offset, std::size_t bytes) {
  std::vector<std::uint8_t> out(bytes);
  for (std::size_t i = 0; i < bytes; ++i) {
    const std::uint64_t at = static_cast<std::uint64_t>(offset) + i;
    out[i] = static_cast<std::uint8_t>((at / 4) >> (8 * (at % 4)));
  }
  return out;
}

constexpr std::uint32_t L = 1000;  // the block's first sector
const std::int64_t kBlockStart = std::int64_t{L} * kSectorBytes;

// One pass of `readSectors` sectors from L - k by a drive whose data starts
// `shift` bytes after the asked position (negative: before it), aligned to
// a reference sector that the previous block delivered exactly.
struct Pass {
  std::vector<std::uint8_t> read, reference;
};
Pass pass(std::int64_t shift, std::uint32_t readSectors) {
  return {disc(kBlockStart - k * kSectorBytes + shift, std::size_t{readSectors} * kSectorBytes),
          disc(kBlockStart - kSectorBytes, kSectorBytes)};
}

// Where the match leaves the block, or nullopt without a usable match.
std::optional<std::vector<std::uint8_t>> realign(const std::vector<std::uint8_t>& read,
                                                 std::size_t readBytes,
                                                 const std::vector<std::uint8_t>& reference,
                                                 std::uint32_t n, std::uint32_t overlap = k,
                                                 std::int64_t drift = 0) {
  const auto match = rondel::findReferenceSector(read.data(), readBytes, reference.data(), overlap, drift);
  if (!match) return std::nullopt;
  const rondel::ResyncCopy copy = rondel::planResyncCopy(*match, readBytes, n);
  std::vector<std::uint8_t> block(read.begin() + copy.from, read.begin() + copy.from + copy.copyBytes);
  if (!copy.complete) block.resize(std::size_t{n} * kSectorBytes, 0);
  return block;
}

TEST(ResyncRead, AnyShiftWithinReachIsRealigned_BeyondItTheCopyIsShortOrMissing) {
  const std::uint32_t n = 12;
  struct Case {
    std::int64_t shift;
    std::uint32_t readSectors;
    bool found, complete;
  };
  const Case cases[] = {
      {0, n + 2 * k, true, true},        {4, n + 2 * k, true, true},
      {-4, n + 2 * k, true, true},       {2000, n + 2 * k, true, true},
      {-2000, n + 2 * k, true, true},    {4704, n + 2 * k, true, true},  // two sectors late
      {4708, n + 2 * k, false, false},   // the reference lies before the read
      {-7056, n + 2 * k, true, true},    // three sectors early: the copy ends at the last byte read
      {-7060, n + 2 * k, false, false},  // beyond the forward reach
      // A read that stops at the readable end gives an early pass a short copy.
      {-2352, n + k + 1, true, true},    {-2356, n + k + 1, true, false},
      {-1176, n + k, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "shift " << c.shift << ", " << c.readSectors << " sectors");
    const Pass p = pass(c.shift, c.readSectors);
    const auto match = rondel::findReferenceSector(p.read.data(), p.read.size(), p.reference.data(), k);
    ASSERT_EQ(match.has_value(), c.found);
    if (!c.found) continue;
    EXPECT_EQ(*match, static_cast<std::size_t>((k - 1) * kSectorBytes - c.shift));
    const rondel::ResyncCopy copy = rondel::planResyncCopy(*match, p.read.size(), n);
    EXPECT_EQ(copy.complete, c.complete);
    const auto block = realign(p.read, p.read.size(), p.reference, n);
    const std::vector<std::uint8_t> wanted = disc(kBlockStart, copy.copyBytes);
    EXPECT_TRUE(std::equal(wanted.begin(), wanted.end(), block->begin()));
  }
  // The wide window reaches seven sectors late and eight early.
  const std::uint32_t wide = rondel::kWideOverlapSectors;
  for (const std::int64_t shift : {7 * std::int64_t{kSectorBytes}, -8 * std::int64_t{kSectorBytes}}) {
    const std::vector<std::uint8_t> read =
        disc(kBlockStart - wide * kSectorBytes + shift, (n + 2 * wide) * kSectorBytes);
    EXPECT_EQ(realign(read, read.size(), pass(0, 1).reference, n, wide), disc(kBlockStart, n * kSectorBytes))
        << shift;
  }
}

TEST(ResyncRead, SelfSimilarAudio_TheMatchNearestToWhereTheDriveReadsWins) {
  // Digital silence and a tone of 100 frames' period around the block's
  // start, distinct audio after: every silent or in-phase position holds
  // the reference sector.
  const std::uint32_t n = 12;
  const auto region = [&](bool tone) {
    std::vector<std::uint8_t> audio = disc(kBlockStart - 8 * kSectorBytes, 30 * kSectorBytes);
    for (std::size_t i = 0; i < 12 * kSectorBytes; ++i)
      audio[i] = tone ? static_cast<std::uint8_t>((i / 4) % 100) : 0;
    return audio;  // from L - 8: self-similar up to L + 4, the counter after
  };
  for (const bool tone : {false, true}) {
    SCOPED_TRACE(tone ? "tone" : "silence");
    const std::vector<std::uint8_t> audio = region(tone);
    const std::vector<std::uint8_t> reference(audio.begin() + 7 * kSectorBytes,
                                              audio.begin() + 8 * kSectorBytes);
    EXPECT_TRUE(rondel::isSelfSimilarSector(reference.data()));
    const std::vector<std::uint8_t> block(audio.begin() + 8 * kSectorBytes,
                                          audio.begin() + (8 + n) * kSectorBytes);
    // An exact read is placed exactly; so is a drive 1000 bytes early or
    // late once its drift is known. Without it, the nearest copy wins.
    for (const std::int64_t shift : {0, 1000, -1000}) {
      SCOPED_TRACE(shift);
      const std::vector<std::uint8_t> read(audio.begin() + 5 * kSectorBytes + shift,
                                           audio.begin() + (5 + n + 2 * k) * kSectorBytes + shift);
      EXPECT_EQ(realign(read, read.size(), reference, n, k, -shift), block);
      if (shift != 0) {
        EXPECT_NE(realign(read, read.size(), reference, n), block);
      }
    }
  }
  EXPECT_FALSE(rondel::isSelfSimilarSector(disc(kBlockStart, kSectorBytes).data()));
  // Silence, then the tone from a sector boundary: each sector alone is
  // self-similar, the two together are not.
  std::vector<std::uint8_t> pair(2 * kSectorBytes, 0);
  for (std::size_t i = kSectorBytes; i < pair.size(); ++i) pair[i] = static_cast<std::uint8_t>(1 + (i / 4) % 100);
  EXPECT_TRUE(rondel::isSelfSimilarSector(pair.data()));
  EXPECT_TRUE(rondel::isSelfSimilarSector(pair.data() + kSectorBytes));
  EXPECT_FALSE(rondel::isSelfSimilarSector(pair.data(), 2));
}

TEST(ResyncRead, Search_NeverComparesBytesThePassDidNotRead) {
  // The reference lies in the buffer, but partly past what this pass read.
  const Pass p = pass(-3000, 4);  // reference at 7704 .. 10056; 9408 bytes read
  std::vector<std::uint8_t> buffer = disc(kBlockStart - k * kSectorBytes - 3000, 8 * kSectorBytes);
  EXPECT_FALSE(rondel::findReferenceSector(buffer.data(), p.read.size(), p.reference.data(), k));
  EXPECT_TRUE(rondel::findReferenceSector(buffer.data(), buffer.size(), p.reference.data(), k));
}

}  // namespace
