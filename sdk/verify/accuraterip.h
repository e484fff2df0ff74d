#pragma once
// Checksums that tell whether a copied track is right: the copy's CRC-32 and
// the AccurateRip v1/v2 checksums, the disc's AccurateRip identity and the
// database file that answers for it, and the verdict of a track against that
// file. Used by the component (the rip worker, the lookup) and by the host
// (the read-offset search), so both compute every value the same way.
//
// Nothing here touches a file, a socket or a thread; every function is pure
// and safe to call from any thread on its own objects.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace verify {

// Audio is 16-bit little-endian stereo: 4 bytes per sample, 588 samples per
// sector. The AccurateRip checksums leave out the first 5 sectors (less one
// sample) of the disc's first audio track and the last 5 sectors of its
// last one, where drives with different read offsets disagree.
constexpr std::uint32_t kBytesPerSample = 4;
constexpr std::uint32_t kSamplesPerSector = 588;
constexpr std::uint32_t kSkippedSamples = 5 * kSamplesPerSector;  // 2940

// Streaming CRC-32 (zlib's polynomial) and AccurateRip v1/v2 of one track's
// bytes, fed in any split, odd byte counts included. Bytes past the track's
// length still go into the CRC but not into the AccurateRip sums.
class TrackChecksums {
 public:
  // totalSamples: the track's length in samples (sectors * 588).
  // firstAudio / lastAudio: the disc's first / last audio track.
  TrackChecksums(std::uint32_t totalSamples, bool firstAudio, bool lastAudio);

  void add(const void* bytes, std::size_t count);

  std::uint32_t crc32() const { return crc_; }
  std::uint32_t accurateRipV1() const { return v1_; }
  std::uint32_t accurateRipV2() const { return v1_ + high_; }
  // Samples seen so far (a partial one at the end not counted).
  std::uint64_t samples() const { return position_; }

 private:
  void addSample(std::uint32_t word);

  std::uint32_t firstCounted_;  // 1-based position of the first counted sample
  std::uint32_t lastCounted_;   // 1-based position of the last counted sample (0: none)
  std::uint32_t crc_;
  std::uint32_t v1_ = 0;    // the products' low halves, summed
  std::uint32_t high_ = 0;  // their high halves (v2 is both)
  std::uint64_t position_ = 0;  // samples seen
  std::uint32_t partial_ = 0;   // bytes of a sample split across calls
  unsigned partialBytes_ = 0;
};

// The sector-450 checksum the database keeps per track for finding a drive's
// read offset: the AccurateRip v1 sum over the 588 samples of one sector,
// positions 1..588. `samples` holds 588 stereo samples (2 * 588 values).
std::uint32_t sector450Checksum(const std::int16_t* samples);
// The same over 2352 raw little-endian bytes.
std::uint32_t sector450ChecksumOfBytes(const unsigned char* bytes);

// One table-of-contents entry: track number, start sector (LBA, 0 = the
// first sector after the 2-second lead-in), audio or data.
struct TocEntry {
  std::uint32_t number = 0;
  std::uint32_t startLba = 0;
  bool audio = true;
};

struct DiscIds {
  std::uint32_t id1 = 0, id2 = 0, freedb = 0;
  std::uint32_t audioTracks = 0;
  // "x/y/z/dBAR-NNN-id1-id2-freedb.bin": the last three hex digits of id1,
  // last first, then the file name; lower-case hex. "" without audio.
  std::string path() const;
  // "id1-id2-freedb", 8 hex digits each.
  std::string text() const;
};

// The freedb (CDDB) disc id of the table of contents: every track counts,
// data too, and the lead-out is the disc's own.
std::uint32_t freedbDiscId(const std::vector<TocEntry>& tracks, std::uint32_t leadoutLba);

// The AccurateRip identity. Only audio tracks count for id1, id2 and the
// track count, so a data track first (mixed mode) shifts nothing. The
// lead-out is the disc's own on an Enhanced CD too (audio, then a data track
// in a second session): the database names such discs after it, not after
// the end of the audio session (the data track's start less 11 400
// sectors), which would ask for a file it does not hold. Entries must be in
// disc order; a table without an audio track gives all-zero ids.
DiscIds discIds(const std::vector<TocEntry>& tracks, std::uint32_t leadoutLba);

// One pressing's answer in the database file.
struct TrackEntry {
  std::uint8_t confidence = 0;
  std::uint32_t checksum = 0;
  std::uint32_t sector450 = 0;
};
struct Response {
  std::uint32_t id1 = 0, id2 = 0, freedb = 0;
  std::vector<TrackEntry> tracks;
};

// The largest file accepted: a few KiB is usual per disc.
constexpr std::size_t kMaxDatabaseFileBytes = 64 * 1024;

// Parses a database file strictly: the whole body must be one or more
// responses of (1 byte track count, id1, id2, freedb id as 32-bit
// little-endian, then 9 bytes per track: confidence, checksum, sector-450
// checksum), each with the disc's track count and ids. Anything else (a
// short tail, another disc's ids, an HTML page, an empty or oversized body)
// is refused with a reason and `out` left empty.
bool parseDatabaseFile(const std::string& body, const DiscIds& disc, std::vector<Response>& out,
                       std::string* problem);

// Writes the file parseDatabaseFile reads (for made discs and tests).
std::string databaseFile(const std::vector<Response>& responses);

enum class Status { Accurate, NotAccurate, NotFound, NotChecked };

struct Verdict {
  Status status = Status::NotChecked;
  unsigned confidence = 0;  // the best matching response's confidence
  unsigned total = 0;       // the confidences of every response for the track
  bool v2 = false;          // the best match was the v2 checksum
};

// The verdict of the track at `trackIndex` (0-based among audio tracks) with
// checksums v1 and v2. No responses: NotFound.
Verdict verdictFor(const std::vector<Response>& responses, unsigned trackIndex, std::uint32_t v1,
                   std::uint32_t v2);

// "accurate", "not_accurate", "not_found", "not_checked".
const char* statusName(Status status);

// Verdicts as window properties carry them: "accurate C T v2",
// "not_accurate 0 T", "not_found", "not_checked"; and back (false for a
// text that is none of those).
std::string verdictText(const Verdict& verdict);
bool parseVerdictText(const std::string& text, Verdict& verdict);

// 8 lower-case hex digits; and back (exactly 8 hex digits, either case).
std::string hex8(std::uint32_t value);
bool parseHex8(const std::string& text, std::uint32_t& value);

// Bytes as lower-case hex and back (false on an odd length or a non-hex
// character, with `out` left empty).
std::string hexBytes(const std::string& bytes);
bool parseHexBytes(const std::string& text, std::string& out);

}  // namespace verify
