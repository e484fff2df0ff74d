#pragma once
// Small disc images for the tests, made here rather than by any tool under
// test: a BIN whose audio is the counter pattern (stereo frame n of the disc
// holds n, little-endian), so every byte read names its own position.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace cdr_test {

// sectors whole sectors of the pattern, then extraBytes of the next one.
inline void writeCounterBin(const std::filesystem::path& path, std::uint32_t sectors,
                            std::uint32_t extraBytes = 0) {
  std::string bytes(std::size_t{sectors} * 2352 + extraBytes, '\0');
  for (std::size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    const auto frame = static_cast<std::uint32_t>(i / 4);
    for (int b = 0; b < 4; ++b) bytes[i + b] = static_cast<char>(frame >> (8 * b));
  }
  std::ofstream(path, std::ios::binary) << bytes;
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
