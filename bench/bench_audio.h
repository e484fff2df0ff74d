#pragma once
// Deterministic music-like test audio for the benchmarks: chords that change
// every half second, with overtones and a little noise, different on each
// channel. Silence or a pure tone would let encoders run faster than on music.
#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// Raw CD-DA bytes (16-bit little-endian stereo at 44.1 kHz), seconds long.
std::vector<std::uint8_t> musicLikeAudio(double seconds);

// Writes the bytes as a RIFF WAVE file; false on any error.
bool writeWave(const std::string& path, const std::vector<std::uint8_t>& cdda);

}  // namespace bench
