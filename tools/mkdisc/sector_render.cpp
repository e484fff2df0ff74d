#include "tools/mkdisc/sector_render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace mkdisc {
namespace {

constexpr double kTwoPi = 6.283185307179586476925286766559;

// splitmix64: fixed integer arithmetic, so the bytes never depend on the
// standard library's distributions.
std::uint64_t mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

class Random {
 public:
  explicit Random(std::uint64_t state) : state_(state) {}
  std::uint64_t next() {
    state_ += 0x9E3779B97F4A7C15ull;
    return mix(state_);
  }
  // Uniform in [-range, range].
  int symmetric(int range) {
    if (range <= 0) return 0;
    return static_cast<int>(next() % (2 * static_cast<std::uint64_t>(range) + 1)) - range;
  }

 private:
  std::uint64_t state_;
};

// Each sector has its own stream, derived from the disc seed and its place.
Random sectorRandom(std::uint64_t seed, const SectorPlace& place) {
  std::uint64_t s = mix(seed);
  s = mix(s ^ static_cast<std::uint64_t>(place.track + 1));
  s = mix(s ^ static_cast<std::uint64_t>(place.section));
  return Random(mix(s ^ place.inSection));
}

void putSample(std::uint8_t* at, long value) {
  const auto v = static_cast<std::int16_t>(std::clamp(value, -32768L, 32767L));
  const auto u = static_cast<std::uint16_t>(v);
  at[0] = static_cast<std::uint8_t>(u & 0xFF);  // little-endian, as CD-DA in a BIN
  at[1] = static_cast<std::uint8_t>(u >> 8);
}

double toneValue(const Section& s, std::uint64_t frame) {
  double sum = 0;
  for (double f : s.frequencies) {
    // The phase is reduced to whole cycles first, which keeps it exact far
    // into a long track.
    const double cycles = std::fmod(f * static_cast<double>(frame), kSampleRate) / kSampleRate;
    sum += std::sin(kTwoPi * cycles);
  }
  // Dividing by the count keeps the peak at the amplitude: never clipping.
  return s.amplitude * 32767.0 * sum / static_cast<double>(s.frequencies.size());
}

void renderAudio(const Track& track, const SectorPlace& place, std::uint64_t seed,
                 std::uint8_t* out) {
  const Section& s = place.section < 0 ? track.pregap.front()
                                       : track.sections[static_cast<std::size_t>(place.section)];
  if (s.kind == Kind::Silence) return;  // already zero
  Random random = sectorRandom(seed, place);
  const int noiseRange = static_cast<int>(std::floor(s.amplitude * 32767.0));
  const std::uint64_t firstFrame = static_cast<std::uint64_t>(place.inSection) * kSamplesPerSector;
  for (std::size_t i = 0; i < kSamplesPerSector; ++i) {
    long left = 0, right = 0;
    if (s.kind == Kind::Noise) {
      left = random.symmetric(noiseRange);
      right = random.symmetric(noiseRange);
    } else {
      // The floor goes with the tone: a channel it leaves out stays zero.
      const long v = std::lround(toneValue(s, firstFrame + i));
      if (s.channels != Channels::Right) left = v + random.symmetric(s.dither);
      if (s.channels != Channels::Left) right = v + random.symmetric(s.dither);
    }
    putSample(out + i * 4, left);
    putSample(out + i * 4 + 2, right);
  }
}

std::uint8_t bcd(std::uint32_t v) { return static_cast<std::uint8_t>(((v / 10) << 4) | (v % 10)); }

// A MODE1 sector: sync pattern, header with its absolute address, 2048 bytes
// of user data. EDC and ECC stay zero: nothing here checks them.
void renderData(const SectorPlace& place, std::uint32_t lba, std::uint64_t seed,
                std::uint8_t* out) {
  out[0] = 0x00;
  std::memset(out + 1, 0xFF, 10);
  out[11] = 0x00;
  const std::uint32_t address = lba + kLeadInSectors;
  out[12] = bcd(address / (60 * 75));
  out[13] = bcd((address / 75) % 60);
  out[14] = bcd(address % 75);
  out[15] = 0x01;
  Random random = sectorRandom(seed, place);
  for (std::size_t i = 16; i < 16 + 2048; i += 8) {
    const std::uint64_t r = random.next();
    for (std::size_t b = 0; b < 8; ++b) out[i + b] = static_cast<std::uint8_t>(r >> (8 * b));
  }
  char label[48];
  const int n = std::snprintf(label, sizeof label, "mkdisc data track %02d sector %06u",
                              place.track + 1, static_cast<unsigned>(place.inTrack));
  if (n > 0) std::memcpy(out + 16, label, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof label));
}

}  // namespace

void renderSector(const Disc& disc, const DiscLayout& layout, std::uint32_t lba, SectorBytes& out) {
  out.fill(0);
  const SectorPlace place = placeOf(disc, layout, lba);
  if (place.track < 0) return;  // a gap between data and audio or sessions: digital zeros
  const Track& track = disc.tracks[static_cast<std::size_t>(place.track)];
  if (track.data)
    renderData(place, lba, disc.seed, out.data());
  else
    renderAudio(track, place, disc.seed, out.data());
}

}  // namespace mkdisc
