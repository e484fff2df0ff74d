// The simulated drive's audio and timing: generators, shifted reads, the
// speed limit. Pure functions of their arguments.
#include <array>
#include <cmath>
#include <cstring>

#include "drivers/cdr/sim_drive.h"

namespace cdr {
namespace {

constexpr std::uint32_t kFramesPerSector = kCdSectorBytes / 4;  // 588 stereo frames
constexpr std::uint32_t kSinePeriod = 100;                      // frames, 441 Hz at 44.1 kHz

const std::array<std::int16_t, kSinePeriod>& sineTable() {
  static const auto table = [] {
    std::array<std::int16_t, kSinePeriod> t{};
    const double pi = std::acos(-1.0);
    for (std::uint32_t i = 0; i < kSinePeriod; ++i)
      t[i] = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(2 * pi * i / kSinePeriod)));
    return t;
  }();
  return table;
}

void put16(std::uint8_t* p, std::uint16_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace

void generateAudio(SimAudio kind, std::uint32_t lba, std::uint32_t count, std::uint8_t* out) {
  const std::size_t frames = std::size_t{count} * kFramesPerSector;
  if (kind == SimAudio::kSilence || kind == SimAudio::kFile) {
    std::memset(out, 0, frames * 4);
    return;
  }
  const std::uint64_t first = std::uint64_t{lba} * kFramesPerSector;
  if (kind == SimAudio::kCounter) {
    for (std::size_t i = 0; i < frames; ++i) {
      const auto n = static_cast<std::uint32_t>(first + i);
      put16(out + 4 * i, static_cast<std::uint16_t>(n));
      put16(out + 4 * i + 2, static_cast<std::uint16_t>(n >> 16));
    }
    return;
  }
  const auto& sine = sineTable();
  for (std::size_t i = 0; i < frames; ++i) {
    const std::uint64_t n = first + i;
    put16(out + 4 * i, static_cast<std::uint16_t>(sine[n % kSinePeriod]));
    put16(out + 4 * i + 2, static_cast<std::uint16_t>(sine[(2 * n) % kSinePeriod]));
  }
}

std::int32_t timedAnswerAt(const std::vector<TimedAnswer>& script, std::chrono::milliseconds elapsed) {
  if (script.empty()) return kCdReady;
  std::int64_t left = elapsed.count();
  for (std::size_t i = 0; i + 1 < script.size(); ++i) {
    if (left < script[i].ms) return script[i].answer;
    left -= script[i].ms;
  }
  return script.back().answer;
}

std::int64_t clampShift(std::int64_t shift, std::uint32_t lba, std::uint32_t count,
                        std::uint32_t leadOut) {
  const std::int64_t sector = kCdSectorBytes;
  const std::int64_t lowest = -std::int64_t{lba} * sector;
  const std::int64_t highest = (std::int64_t{leadOut} - lba - count) * sector;
  if (highest < 0) return 0;  // the unshifted range is not on the disc either
  return shift < lowest ? lowest : shift > highest ? highest : shift;
}

std::chrono::nanoseconds transferTime(std::uint32_t sectors, std::uint32_t speed) {
  if (speed == 0) return std::chrono::nanoseconds(0);
  // sectors / (75 * speed) seconds, in 64 bits: at most ~2^25 sectors * 10^9.
  return std::chrono::nanoseconds(std::int64_t{sectors} * 1000000000 / (75 * std::int64_t{speed}));
}

}  // namespace cdr
