#include "bench/bench_audio.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace bench {

std::vector<std::uint8_t> musicLikeAudio(double seconds) {
  constexpr int kRate = 44100;
  const std::size_t frames = static_cast<std::size_t>(seconds * kRate);
  std::vector<std::uint8_t> out(frames * 4);
  // Semitone steps of a pentatonic scale around A3.
  static constexpr int kScale[] = {0, 2, 4, 7, 9, 12, 14, 16};
  std::uint32_t noise = 12345;
  double phase[6] = {};
  double freq[6] = {};
  for (std::size_t i = 0; i < frames; ++i) {
    if (i % (kRate / 2) == 0) {
      const std::size_t step = i / (kRate / 2);
      for (int v = 0; v < 3; ++v) {
        const int note = kScale[(step * (v + 3) + v * 2) % 8] + 12 * v;
        freq[v] = 220.0 * std::pow(2.0, note / 12.0);
        freq[v + 3] = freq[v] * 2.01;  // a slightly detuned overtone
      }
    }
    const double envelope = 0.6 + 0.4 * std::exp(-static_cast<double>(i % (kRate / 2)) / 6000);
    double left = 0, right = 0;
    for (int v = 0; v < 6; ++v) {
      phase[v] += 2 * M_PI * freq[v] / kRate;
      if (phase[v] > 2 * M_PI) phase[v] -= 2 * M_PI;
      const double s = std::sin(phase[v]) * (v < 3 ? 0.18 : 0.06);
      left += s * (v % 2 == 0 ? 1.0 : 0.6);
      right += s * (v % 2 == 0 ? 0.6 : 1.0);
    }
    noise = noise * 1664525u + 1013904223u;
    const double hiss = (static_cast<double>(noise >> 8) / (1u << 24) - 0.5) * 0.02;
    const auto toSample = [](double x) {
      x = std::fmax(-1.0, std::fmin(1.0, x));
      return static_cast<std::int16_t>(x * 32000);
    };
    const std::int16_t l = toSample(left * envelope + hiss);
    const std::int16_t r = toSample(right * envelope - hiss);
    out[4 * i] = static_cast<std::uint8_t>(l);
    out[4 * i + 1] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(l) >> 8);
    out[4 * i + 2] = static_cast<std::uint8_t>(r);
    out[4 * i + 3] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(r) >> 8);
  }
  return out;
}

bool writeWave(const std::string& path, const std::vector<std::uint8_t>& cdda) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!file) return false;
  const auto put = [&](std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) std::fputc(static_cast<int>((v >> (8 * i)) & 0xFF), file.get());
  };
  const auto size = static_cast<std::uint32_t>(cdda.size());
  std::fputs("RIFF", file.get());
  put(36 + size, 4);
  std::fputs("WAVEfmt ", file.get());
  put(16, 4);
  put(1, 2);
  put(2, 2);
  put(44100, 4);
  put(44100 * 4, 4);
  put(4, 2);
  put(16, 2);
  std::fputs("data", file.get());
  put(size, 4);
  return std::fwrite(cdda.data(), 1, cdda.size(), file.get()) == cdda.size() &&
         std::fflush(file.get()) == 0;
}

}  // namespace bench
