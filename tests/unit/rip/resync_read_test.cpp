// The overlapped read's search and copy on plain bytes: a "disc" whose every
// 4-byte frame holds its own number, read as a drive that misses the asked
// position by a given number of bytes would read it.
#include <gtest/gtest.h>

#include <cstdint>
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

TEST(ResyncRead, MiddleBlock_RealignsAnyShiftWithinReach_AndFailsThePassBeyondIt) {
  const std::uint32_t n = 12;
  struct Case {
    std::int64_t shift;
    std::uint32_t readSectors;
    bool aligned;
  };
  const Case cases[] = {
      {0, n + 2 * k, true},        {4, n + 2 * k, true},     {-4, n + 2 * k, true},
      {2000, n + 2 * k, true},     {-2000, n + 2 * k, true}, {4700, n + 2 * k, true},
      {-7056, n + 2 * k, true},  // three sectors early: the copy ends at the last byte read
      {-7060, n + 2 * k, false},  // a copy would reach past the read: the pass fails
      // A read shortened at the track's end has less reach.
      {-2352, n + k + 1, true},   {-2356, n + k + 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "shift " << c.shift << ", " << c.readSectors << " sectors");
    const Pass p = pass(c.shift, c.readSectors);
    std::vector<std::uint8_t> dest(n * kSectorBytes, 0xEE);
    EXPECT_EQ(rondel::realignBlock(p.read.data(), p.read.size(), p.reference.data(), n, k, false,
                                   dest.data()),
              c.aligned);
    if (c.aligned)
      EXPECT_EQ(dest, disc(kBlockStart, dest.size()));
    else
      EXPECT_EQ(dest, std::vector<std::uint8_t>(dest.size(), 0xEE)) << "a failed pass writes nothing";
  }
}

TEST(ResyncRead, LastBlock_CopiesOnlyBytesThisPassRead_AndZeroesTheMissingTail) {
  struct Case {
    std::uint32_t n;
    std::int64_t shift;
    std::size_t zeros;
  };
  const Case cases[] = {
      {1, 0, 0},       {12, 0, 0},
      {1, 1000, 0},    {5, 4000, 0},      // late data: everything is there
      {1, -1176, 1176},                   // early, backward match: the tail was never read
      {4, -3000, 3000},                   // early by more than a sector: forward match
      {12, -7000, 7000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.n << " sectors, shift " << c.shift);
    const Pass p = pass(c.shift, c.n + k);
    // Stale bytes from an earlier pass lie beyond what this pass read.
    std::vector<std::uint8_t> buffer(p.read);
    buffer.resize(buffer.size() + 4 * kSectorBytes, 0xAB);
    std::vector<std::uint8_t> dest(c.n * kSectorBytes, 0xEE);
    ASSERT_TRUE(rondel::realignBlock(buffer.data(), p.read.size(), p.reference.data(), c.n, k, true,
                                     dest.data()));
    std::vector<std::uint8_t> expected = disc(kBlockStart, dest.size() - c.zeros);
    expected.resize(dest.size(), 0);
    EXPECT_EQ(dest, expected);
  }
}

TEST(ResyncRead, Search_FirstEqualPositionWins_SilenceMatchesOneSectorLate) {
  // Digital silence: the reference sector and the asked one are both zero.
  // The forward test at t = 0 comes first, so the copy starts one sector
  // after the asked sector.
  const std::uint32_t n = 12;
  std::vector<std::uint8_t> read = disc(kBlockStart - k * kSectorBytes, (n + 2 * k) * kSectorBytes);
  std::fill(read.begin() + (k - 1) * kSectorBytes, read.begin() + (k + 1) * kSectorBytes, 0);
  const std::vector<std::uint8_t> silence(kSectorBytes, 0);
  EXPECT_EQ(rondel::findReferenceSector(read.data(), read.size(), silence.data(), k),
            std::optional<std::size_t>(k * kSectorBytes));
  std::vector<std::uint8_t> dest(n * kSectorBytes);
  ASSERT_TRUE(rondel::realignBlock(read.data(), read.size(), silence.data(), n, k, false, dest.data()));
  EXPECT_EQ(dest, disc(kBlockStart + kSectorBytes, dest.size()));

  // Order: at equal distance the forward position is tried first; no match
  // at all (t runs to k * 2352 - 1, so position 0 is never tried) fails.
  const Pass exact = pass(0, n + 2 * k);
  EXPECT_EQ(rondel::findReferenceSector(exact.read.data(), exact.read.size(),
                                        exact.reference.data(), k),
            std::optional<std::size_t>((k - 1) * kSectorBytes));
  const Pass tooLate = pass(k * kSectorBytes - kSectorBytes, n + 2 * k);  // reference at 0
  EXPECT_FALSE(rondel::findReferenceSector(tooLate.read.data(), tooLate.read.size(),
                                           tooLate.reference.data(), k));
}

TEST(ResyncRead, Search_NeverComparesBytesThePassDidNotRead) {
  // The reference lies in the buffer, but partly past what this pass read.
  const Pass p = pass(-3000, 4);  // reference at 7704 .. 10056; 9408 bytes read
  std::vector<std::uint8_t> buffer = disc(kBlockStart - k * kSectorBytes - 3000, 8 * kSectorBytes);
  EXPECT_FALSE(rondel::findReferenceSector(buffer.data(), p.read.size(), p.reference.data(), k));
  EXPECT_TRUE(rondel::findReferenceSector(buffer.data(), buffer.size(), p.reference.data(), k));
}

}  // namespace
