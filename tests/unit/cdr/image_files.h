#pragma once
// Small disc images for the tests, made here rather than by any tool under
// test: a BIN whose audio is the counter pattern (stereo frame n of the disc
// holds n, little-endian), so every byte read names its own position.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace cdr_test {

inline std::uint32_t le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t{p[3]} << 24;
}

// The pattern's bytes of `count` sectors from `lba`; the simulated drives'
// "counter" generator puts the same on their discs.
inline std::vector<std::uint8_t> counterBytes(std::uint32_t lba, std::uint32_t count) {
  std::vector<std::uint8_t> out(std::size_t{count} * 2352);
  std::uint32_t frame = lba * 588;
  for (std::size_t i = 0; i < out.size(); i += 4, ++frame)
    for (int b = 0; b < 4; ++b) out[i + b] = static_cast<std::uint8_t>(frame >> (8 * b));
  return out;
}

// sectors whole sectors of the pattern, then extraBytes (whole frames) of
// the next one.
inline void writeCounterBin(const std::filesystem::path& path, std::uint32_t sectors,
                            std::uint32_t extraBytes = 0) {
  const auto bytes = counterBytes(0, sectors + 1);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::size_t{sectors} * 2352 + extraBytes);
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// 300 sectors: audio 0-99, audio 100-199 with a pregap (INDEX 00) from 90,
// a MODE1/2352 data track 200-299. BIN and CUE share the name stem, as
// libcdio wants.
inline void writeThreeTrackImage(const std::filesystem::path& dir, const std::string& stem,
                                 std::uint32_t binSectors = 300, std::uint32_t extraBytes = 0) {
  writeCounterBin(dir / (stem + ".bin"), binSectors, extraBytes);
  writeText(dir / (stem + ".cue"), "FILE \"" + stem + ".bin\" BINARY\n"
                                   "  TRACK 01 AUDIO\n"
                                   "    INDEX 01 00:00:00\n"
                                   "  TRACK 02 AUDIO\n"
                                   "    INDEX 00 00:01:15\n"
                                   "    INDEX 01 00:01:25\n"
                                   "  TRACK 03 MODE1/2352\n"
                                   "    INDEX 01 00:02:50\n");
}

}  // namespace cdr_test
