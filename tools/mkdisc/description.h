#pragma once
// A test disc as its description file asks for it: the texts of the freedb
// entry, and per track a length and the kind of content. Parsing checks every
// value, because descriptions are handed in from outside.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mkdisc {

constexpr int kMaxTracks = 99;
constexpr std::uint32_t kSectorsPerSecond = 75;
// A disc holds at most 100 minutes counted from the very start, lead-in
// offset (2 seconds) included, so the lead-out may start at 449 850 at most.
constexpr std::uint32_t kLeadInSectors = 150;
constexpr std::uint32_t kMaxDiscSectors = 100 * 60 * kSectorsPerSecond;  // 450 000
constexpr std::size_t kMaxTextBytes = 256;      // per text, in Windows-1252 bytes
constexpr std::size_t kMaxDescriptionBytes = 1 << 20;
constexpr std::uint32_t kDefaultDataGapSectors = 150;
constexpr std::uint32_t kMaxDataGapSectors = 750;
// Between the first session's last track and the second session's first:
// the first session's lead-out (6750), the second's lead-in (4500) and the
// data track's 2-second pregap (150).
constexpr std::uint32_t kSessionGapSectors = 11400;
constexpr int kDefaultDither = 4;
constexpr int kMaxDither = 1024;

enum class Kind { Tone, Noise, Silence, Data };
enum class Channels { Both, Left, Right };

// One stretch of a track's content. A track without sections has one.
struct Section {
  Kind kind = Kind::Silence;
  std::uint32_t sectors = 0;
  std::vector<double> frequencies;  // tone: Hz, each below the Nyquist limit
  double amplitude = 0;             // tone, noise: fraction of full scale
  Channels channels = Channels::Both;  // tone
  // tone: seeded noise floor, in sample steps either way. A pure tone
  // repeats itself within a few sectors (441 samples hold ten periods of
  // 1000 Hz), which overlapped reads cannot realign; the floor breaks that.
  int dither = 0;
};

struct Track {
  std::string title;    // Windows-1252
  std::string comment;  // Windows-1252, the entry's EXTTn
  bool data = false;
  // Only for a data track: digital zeros between it and its audio
  // neighbour, held as INDEX 00 of whichever of the two comes second.
  std::uint32_t gapSectors = 0;
  // Only for a data track last: 2 puts it in a second session (an enhanced
  // CD), kSessionGapSectors after the audio session's end.
  int session = 1;
  // Audio held as INDEX 00 before the track's INDEX 01: part of the track
  // before in the table of contents, before track 1 a hidden track. Empty,
  // or one section.
  std::vector<Section> pregap;
  // Content must be unambiguous for overlapped reads (checked when written).
  bool jitterFree = false;
  std::string isrc;  // audio only: its ISRC, or empty for none
  std::vector<Section> sections;  // at least one; their sum is the length

  std::uint32_t sectors() const;
  std::uint32_t pregapSectors() const { return pregap.empty() ? 0 : pregap.front().sectors; }
};

struct Disc {
  std::string artist, album, year, genre, comment;  // Windows-1252
  std::string category = "misc";
  std::string catalog;  // the media catalogue number, or empty for none
  std::uint64_t seed = 0;
  std::vector<Track> tracks;
};

struct DescriptionResult {
  std::optional<Disc> disc;
  std::string error;  // one line, set when disc is empty
};

// Never throws but for memory exhaustion.
DescriptionResult parseDescription(std::string_view text);

// The eleven categories of the freedb database.
bool isFreedbCategory(std::string_view name);

}  // namespace mkdisc
