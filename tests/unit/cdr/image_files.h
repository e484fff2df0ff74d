#pragma once
// Small disc images for the tests, made here rather than by any tool under
// test: a BIN whose audio is the counter pattern (stereo frame n of the disc
// holds n, little-endian), so every byte read names its own position.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
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

// Images that libcdio 2.1's parsers corrupt memory on, each beside what
// makes it so. Every one names a BIN of 300 sectors made here.

// An NRG image: 300 sectors of audio, then the footer's chunks, END!, and a
// NER5 trailer pointing at the footer.
inline std::string be(std::uint64_t v, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(v >> (8 * i));
  return out;
}
inline void writeNrg(const std::filesystem::path& path,
                     const std::vector<std::pair<std::string, std::string>>& chunks) {
  const std::uint32_t sectors = 300;
  const auto audio = counterBytes(0, sectors);
  std::string footer;
  for (const auto& [id, body] : chunks) footer += id + be(body.size(), 4) + body;
  footer += "END!" + be(0, 4) + "NER5" + be(audio.size(), 8);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size()));
  out << footer;
}
// An ETNF track table of `tracks` audio tracks of `sectors` each.
inline std::string etnf(std::uint32_t tracks, std::uint32_t sectors) {
  std::string body;
  for (std::uint32_t i = 0; i < tracks; ++i)
    body += be(i * sectors * 2352, 4) + be(sectors * 2352, 4) + be(7, 4) + be(i * sectors, 4) + be(0, 4);
  return body;
}
inline std::string etn2(std::uint32_t tracks, std::uint32_t sectors) {
  std::string body;
  for (std::uint32_t i = 0; i < tracks; ++i)
    body += be(std::uint64_t{i} * sectors * 2352, 8) + be(sectors * 2352, 8) + be(7, 4) +
            be(i * sectors, 4) + be(0, 8);
  return body;
}
// CD-Text packs of random bytes; with valid checksums when `checked`.
inline std::string cdTextPacks(std::uint32_t packs, bool checked, unsigned seed) {
  std::mt19937 random(seed);
  std::string body;
  for (std::uint32_t p = 0; p < packs; ++p) {
    std::string pack(1, static_cast<char>(0x80 + random() % 16));
    while (pack.size() < 16) pack += static_cast<char>(random());
    std::uint16_t crc = 0;
    for (unsigned char c : pack) {
      crc ^= static_cast<std::uint16_t>(c << 8);
      for (int bit = 0; bit < 8; ++bit)
        crc = static_cast<std::uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    body += pack + (checked ? be(static_cast<std::uint16_t>(~crc), 2) : be(random(), 2));
  }
  return body;
}

struct HostileImage {
  std::string file;  // in the folder the writer was given
  std::string why;   // what of the refusal the line must say
};

// Each image of the list, written into dir (with good.bin, 300 sectors).
inline std::vector<HostileImage> writeHostileImages(const std::filesystem::path& dir) {
  writeCounterBin(dir / "good.bin", 300);
  std::string toc = "CD_DA\n", cue;
  for (int t = 0; t < 101; ++t) toc += "TRACK AUDIO\nFILE \"good.bin\" 0 00:00:10\n";
  writeText(dir / "tracks101.toc", toc);
  for (int t = 0; t < 120; ++t) cue += "FILE \"many.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  writeText(dir / "many.cue", cue);
  writeCounterBin(dir / "many.bin", 300);
  writeText(dir / "ner5.nrg", "NER5");
  writeNrg(dir / "etnf200.nrg", {{"ETNF", etnf(200, 1)}});
  writeNrg(dir / "etn2200.nrg", {{"ETN2", etn2(200, 1)}});
  writeNrg(dir / "cdtext.nrg", {{"ETNF", etnf(2, 150)}, {"CDTX", cdTextPacks(40, false, 5)}});
  std::vector<HostileImage> images{{"tracks101.toc", "more than 99 tracks"},
                                   {"many.cue", "more than 99 tracks"},
                                   {"ner5.nrg", "too small for an NRG image"},
                                   {"etnf200.nrg", "more than 99 tracks"},
                                   {"etn2200.nrg", "trailer points outside"},
                                   {"cdtext.nrg", "CD-Text is damaged"}};
#if !defined(__SANITIZE_THREAD__)
  // Packs that pass every check of ours and still make libcdio's CD-Text
  // parser fail into a double free: only the trial open catches it, when
  // the C library aborts on the double free. ThreadSanitizer's allocator
  // lets it pass without a word, so that build cannot see this fault.
  writeNrg(dir / "cdtextsum.nrg", {{"ETNF", etnf(2, 150)}, {"CDTX", cdTextPacks(40, true, 7)}});
  images.push_back({"cdtextsum.nrg", "libcdio crashed on it"});
#endif
  return images;
}

}  // namespace cdr_test
