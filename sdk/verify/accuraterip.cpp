#include "sdk/verify/accuraterip.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <limits>

#include "platform/ascii.h"

namespace verify {
namespace {

std::uint32_t littleEndian32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}

void putLittleEndian32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xFF));
}

std::uint32_t digitSum(std::uint32_t value) {
  std::uint32_t sum = 0;
  for (; value > 0; value /= 10) sum += value % 10;
  return sum;
}

// Whole seconds from the start of the disc, lead-in included.
std::uint32_t startSeconds(std::uint32_t lba) { return (lba + 150) / 75; }

constexpr std::size_t kHeaderBytes = 13;
constexpr std::size_t kTrackBytes = 9;

}  // namespace

TrackChecksums::TrackChecksums(std::uint32_t totalSamples, bool firstAudio, bool lastAudio)
    : firstCounted_(firstAudio ? kSkippedSamples : 1),
      lastCounted_(lastAudio ? (totalSamples > kSkippedSamples ? totalSamples - kSkippedSamples : 0)
                             : totalSamples),
      crc_(static_cast<std::uint32_t>(::crc32(0L, Z_NULL, 0))) {}

void TrackChecksums::addSample(std::uint32_t word) {
  ++position_;
  // Positions run through the skipped samples, so a counted sample's
  // multiplier is its place in the track whatever was left out before it.
  if (position_ < firstCounted_ || position_ > lastCounted_) return;
  const std::uint64_t product = std::uint64_t{word} * position_;
  v1_ += static_cast<std::uint32_t>(product);
  high_ += static_cast<std::uint32_t>(product >> 32);
}

void TrackChecksums::add(const void* bytes, std::size_t count) {
  auto* p = static_cast<const unsigned char*>(bytes);
  // zlib takes an unsigned int length: feed huge buffers in pieces.
  for (std::size_t done = 0; done < count;) {
    const std::size_t piece = std::min<std::size_t>(count - done, std::numeric_limits<uInt>::max());
    crc_ = static_cast<std::uint32_t>(::crc32(crc_, p + done, static_cast<uInt>(piece)));
    done += piece;
  }
  std::size_t i = 0;
  while (partialBytes_ != 0 && i < count) {
    partial_ |= std::uint32_t{p[i++]} << (8 * partialBytes_);
    if (++partialBytes_ == kBytesPerSample) {
      addSample(partial_);
      partial_ = 0;
      partialBytes_ = 0;
    }
  }
  // The whole samples: only the positions that count are visited, without
  // a test per sample, so the loop stays a plain sum (the rip's hot path).
  const std::size_t whole = (count - i) / kBytesPerSample;
  const std::uint64_t firstPosition = position_ + 1, lastPosition = position_ + whole;
  const std::uint64_t from = std::max<std::uint64_t>(firstPosition, firstCounted_);
  const std::uint64_t to = std::min<std::uint64_t>(lastPosition, lastCounted_);
  if (whole > 0 && from <= to) {
    const unsigned char* at = p + i + (from - firstPosition) * kBytesPerSample;
    std::uint32_t low = 0, high = 0;
    for (std::uint64_t position = from; position <= to; ++position, at += kBytesPerSample) {
      const std::uint64_t product = std::uint64_t{littleEndian32(at)} * position;
      low += static_cast<std::uint32_t>(product);
      high += static_cast<std::uint32_t>(product >> 32);
    }
    v1_ += low;
    high_ += high;
  }
  position_ += whole;
  i += whole * kBytesPerSample;
  for (; i < count; ++i) partial_ |= std::uint32_t{p[i]} << (8 * partialBytes_++);
}

std::uint32_t sector450ChecksumOfBytes(const unsigned char* bytes) {
  std::uint32_t sum = 0;
  for (std::uint32_t i = 0; i < kSamplesPerSector; ++i) sum += littleEndian32(bytes + 4 * i) * (i + 1);
  return sum;
}

std::uint32_t sector450Checksum(const std::int16_t* samples) {
  std::uint32_t sum = 0;
  for (std::uint32_t i = 0; i < kSamplesPerSector; ++i) {
    const auto left = static_cast<std::uint16_t>(samples[2 * i]);
    const auto right = static_cast<std::uint16_t>(samples[2 * i + 1]);
    sum += (std::uint32_t{right} << 16 | left) * (i + 1);
  }
  return sum;
}

std::string DiscIds::path() const {
  if (audioTracks == 0) return {};
  char text[96];
  std::snprintf(text, sizeof text, "%x/%x/%x/dBAR-%03u-%08x-%08x-%08x.bin", id1 & 0xF, (id1 >> 4) & 0xF,
                (id1 >> 8) & 0xF, static_cast<unsigned>(std::min<std::uint32_t>(audioTracks, 999)), id1, id2,
                freedb);
  return text;
}

std::string DiscIds::text() const { return hex8(id1) + "-" + hex8(id2) + "-" + hex8(freedb); }

std::uint32_t freedbDiscId(const std::vector<TocEntry>& tracks, std::uint32_t leadoutLba) {
  if (tracks.empty()) return 0;
  std::uint32_t n = 0;
  for (const TocEntry& track : tracks) n += digitSum(startSeconds(track.startLba));
  const std::uint32_t first = startSeconds(tracks.front().startLba), end = startSeconds(leadoutLba);
  const std::uint32_t playing = end > first ? end - first : 0;
  return ((n % 255) << 24) | ((playing & 0xFFFF) << 8) | (static_cast<std::uint32_t>(tracks.size()) & 0xFF);
}

DiscIds discIds(const std::vector<TocEntry>& tracks, std::uint32_t leadoutLba) {
  DiscIds ids;
  for (const TocEntry& track : tracks) {
    if (!track.audio) continue;
    ++ids.audioTracks;
    ids.id1 += track.startLba;
    ids.id2 += std::max<std::uint32_t>(track.startLba, 1) * ids.audioTracks;
  }
  if (ids.audioTracks == 0) return {};
  ids.id1 += leadoutLba;
  ids.id2 += leadoutLba * (ids.audioTracks + 1);
  ids.freedb = freedbDiscId(tracks, leadoutLba);
  return ids;
}

bool parseDatabaseFile(const std::string& body, const DiscIds& disc, std::vector<Response>& out,
                       std::string* problem) {
  out.clear();
  auto refuse = [&](const std::string& why) {
    out.clear();
    if (problem) *problem = why;
    return false;
  };
  if (body.empty()) return refuse("empty database file");
  if (body.size() > kMaxDatabaseFileBytes) return refuse("database file larger than 64 KiB");
  if (disc.audioTracks == 0 || disc.audioTracks > 99) return refuse("no audio tracks to check");
  const std::size_t responseBytes = kHeaderBytes + kTrackBytes * disc.audioTracks;
  if (body.size() % responseBytes != 0)
    return refuse("database file of " + std::to_string(body.size()) + " bytes is not a whole number of " +
                  std::to_string(responseBytes) + "-byte responses");
  const auto* p = reinterpret_cast<const unsigned char*>(body.data());
  std::vector<Response> responses;
  for (std::size_t at = 0; at < body.size(); at += responseBytes) {
    const unsigned char* r = p + at;
    if (r[0] != disc.audioTracks)
      return refuse("a response lists " + std::to_string(r[0]) + " tracks, the disc has " +
                    std::to_string(disc.audioTracks));
    Response response;
    response.id1 = littleEndian32(r + 1);
    response.id2 = littleEndian32(r + 5);
    response.freedb = littleEndian32(r + 9);
    if (response.id1 != disc.id1 || response.id2 != disc.id2 || response.freedb != disc.freedb)
      return refuse("a response is for another disc (" + hex8(response.id1) + "-" + hex8(response.id2) + "-" +
                    hex8(response.freedb) + ")");
    for (std::uint32_t t = 0; t < disc.audioTracks; ++t) {
      const unsigned char* e = r + kHeaderBytes + kTrackBytes * t;
      response.tracks.push_back({e[0], littleEndian32(e + 1), littleEndian32(e + 5)});
    }
    responses.push_back(std::move(response));
  }
  out = std::move(responses);
  return true;
}

std::string databaseFile(const std::vector<Response>& responses) {
  std::string out;
  for (const Response& response : responses) {
    out.push_back(static_cast<char>(response.tracks.size() & 0xFF));
    putLittleEndian32(out, response.id1);
    putLittleEndian32(out, response.id2);
    putLittleEndian32(out, response.freedb);
    for (const TrackEntry& track : response.tracks) {
      out.push_back(static_cast<char>(track.confidence));
      putLittleEndian32(out, track.checksum);
      putLittleEndian32(out, track.sector450);
    }
  }
  return out;
}

Verdict verdictFor(const std::vector<Response>& responses, unsigned trackIndex, std::uint32_t v1,
                   std::uint32_t v2) {
  Verdict verdict;
  if (responses.empty()) {
    verdict.status = Status::NotFound;
    return verdict;
  }
  verdict.status = Status::NotAccurate;
  bool matched = false;
  for (const Response& response : responses) {
    if (trackIndex >= response.tracks.size()) continue;
    const TrackEntry& entry = response.tracks[trackIndex];
    verdict.total += entry.confidence;
    // Confidence 0 is the database's filler (a track too short to check,
    // the data track of a mixed-mode disc): it confirms nothing.
    if (entry.confidence == 0) continue;
    // A pressing's entry holds one checksum, v1 or v2; a v2 match wins a tie.
    const bool isV2 = entry.checksum == v2, isV1 = entry.checksum == v1;
    if (!isV1 && !isV2) continue;
    if (!matched || entry.confidence > verdict.confidence ||
        (entry.confidence == verdict.confidence && isV2 && !verdict.v2)) {
      verdict.confidence = entry.confidence;
      verdict.v2 = isV2;
    }
    matched = true;
  }
  if (matched) verdict.status = Status::Accurate;
  return verdict;
}

const char* statusName(Status status) {
  switch (status) {
    case Status::Accurate: return "accurate";
    case Status::NotAccurate: return "not_accurate";
    case Status::NotFound: return "not_found";
    case Status::NotChecked: break;
  }
  return "not_checked";
}

std::string verdictText(const Verdict& verdict) {
  switch (verdict.status) {
    case Status::Accurate:
      return "accurate " + std::to_string(verdict.confidence) + " " + std::to_string(verdict.total) +
             (verdict.v2 ? " v2" : " v1");
    case Status::NotAccurate: return "not_accurate 0 " + std::to_string(verdict.total);
    case Status::NotFound: return "not_found";
    case Status::NotChecked: break;
  }
  return "not_checked";
}

bool parseVerdictText(const std::string& text, Verdict& verdict) {
  Verdict parsed;
  if (text == "not_found") {
    parsed.status = Status::NotFound;
  } else if (text == "not_checked") {
    parsed.status = Status::NotChecked;
  } else {
    char name[16] = {}, version[4] = {};
    unsigned confidence = 0, total = 0;
    int used = 0;
    const int fields =
        std::sscanf(text.c_str(), "%15s %u %u%n %3s%n", name, &confidence, &total, &used, version, &used);
    // The most a file can give: 64 KiB of one-track responses, each 255.
    constexpr unsigned kMostTotal = 255 * (kMaxDatabaseFileBytes / (kHeaderBytes + kTrackBytes));
    if (fields < 3 || static_cast<std::size_t>(used) != text.size() || total > kMostTotal || confidence > total)
      return false;
    const std::string kind = name, v = fields == 4 ? version : "";
    if (kind == "accurate" && (v == "v1" || v == "v2") && confidence > 0) {
      parsed.status = Status::Accurate;
      parsed.v2 = v == "v2";
    } else if (kind == "not_accurate" && fields == 3 && confidence == 0) {
      parsed.status = Status::NotAccurate;
    } else {
      return false;
    }
    parsed.confidence = confidence;
    parsed.total = total;
  }
  verdict = parsed;
  return true;
}

std::string hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

bool parseHex8(const std::string& text, std::uint32_t& value) {
  if (text.size() != 8) return false;
  std::uint32_t v = 0;
  for (char c : text) {
    const int d = platform::hexDigitValue(c);
    if (d < 0) return false;
    v = v << 4 | static_cast<std::uint32_t>(d);
  }
  value = v;
  return true;
}

std::string hexBytes(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 0xF]);
  }
  return out;
}

bool parseHexBytes(const std::string& text, std::string& out) {
  out.clear();
  if (text.size() % 2 != 0) return false;
  std::string bytes;
  bytes.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = platform::hexDigitValue(text[i]), low = platform::hexDigitValue(text[i + 1]);
    if (high < 0 || low < 0) return false;
    bytes.push_back(static_cast<char>(high << 4 | low));
  }
  out = std::move(bytes);
  return true;
}

}  // namespace verify
