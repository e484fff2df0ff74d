#include "drivers/cdr/sim_drive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "drivers/cdr/buffers.h"

namespace cdr {
namespace {

using nlohmann::json;

constexpr std::uint32_t kFramesPerSector = kCdSectorBytes / 4;  // 588 stereo frames
constexpr std::uint32_t kSinePeriod = 100;                      // frames, 441 Hz at 44.1 kHz
constexpr std::uint32_t kMaxTocFailures = 1000000;
constexpr std::int32_t kMaxReadinessCode = 0xffff;

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

std::string quoted(const char* key) { return std::string("\"") + key + "\""; }

std::vector<TrackLayout> parseTracks(const json& entry, const Warn& note) {
  const json* list = cfg::find(entry, "tracks");
  if (!list || !list->is_array() || list->empty() || list->size() > kCdMaxTracks)
    throw ConfigError("\"tracks\" must be an array of 1 to 99 tracks");
  std::vector<TrackLayout> tracks;
  std::uint64_t end = 0;  // of the previous track
  for (std::size_t i = 0; i < list->size(); ++i) {
    const json& t = (*list)[i];
    const std::string which = "track " + std::to_string(i + 1);
    if (!t.is_object()) throw ConfigError(which + " is not an object");
    cfg::checkKeys(t, {"sectors", "data", "pregap", "start"}, which + ": ", note);
    const json* sectors = cfg::find(t, "sectors");
    if (!sectors) throw ConfigError(which + " has no \"sectors\"");
    TrackLayout track;
    track.sectors = cfg::toUint(*sectors, which + " " + quoted("sectors"), 1, kMaxDiscSectors);
    track.data = cfg::boolField(t, "data", false);
    const json* start = cfg::find(t, "start");
    const json* pregap = cfg::find(t, "pregap");
    if (start && pregap) throw ConfigError(which + " has both \"start\" and \"pregap\"");
    if (start) {
      track.start = cfg::toUint(*start, which + " " + quoted("start"), 0, kMaxDiscSectors);
      if (track.start < end) throw ConfigError(which + " starts before the previous track ends");
    } else {
      const std::uint64_t gap =
          pregap ? cfg::toUint(*pregap, which + " " + quoted("pregap"), 0, kMaxDiscSectors) : 0;
      if (end + gap > kMaxDiscSectors) throw ConfigError(which + " starts beyond 100 minutes");
      track.start = static_cast<std::uint32_t>(end + gap);
    }
    end = std::uint64_t{track.start} + track.sectors;
    tracks.push_back(track);
  }
  const std::string why = checkLayout(tracks);
  if (!why.empty()) throw ConfigError(why);
  return tracks;
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

SimulatedDrive::SimulatedDrive(SimDriveSettings settings) : settings_(std::move(settings)) {
  if (!buildToc(settings_.tracks, toc_)) throw std::runtime_error(checkLayout(settings_.tracks));
  if (settings_.readiness.empty()) settings_.readiness.push_back(kCdReady);
  leadOut_ = leadOutOf(settings_.tracks);
  tocFailuresLeft_ = settings_.tocFailures;

  if (settings_.audio == SimAudio::kFile) {
    // O_NONBLOCK keeps a FIFO from hanging the open; only regular files pass.
    fd_ = ::open(settings_.audioFile.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0)
      throw std::runtime_error("audio file " + settings_.audioFile +
                               " cannot be opened: " + std::strerror(errno));
    struct stat st {};
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
      ::close(fd_);
      fd_ = -1;
      throw std::runtime_error("audio file " + settings_.audioFile + " is not a regular file");
    }
  }
  if (settings_.disc) insertDisc();
}

SimulatedDrive::~SimulatedDrive() {
  if (fd_ >= 0) ::close(fd_);
}

void SimulatedDrive::insertDisc() {
  discIn_ = true;
  nextAnswer_ = 0;
  state_ = settings_.readiness.front();
}

std::int32_t SimulatedDrive::testUnitReady() {
  if (!discIn_) return kCdNoDisc;
  state_ = settings_.readiness[nextAnswer_];
  if (nextAnswer_ + 1 < settings_.readiness.size()) ++nextAnswer_;
  return state_;
}

std::int32_t SimulatedDrive::readToc(CdToc& toc) {
  if (!ready()) return kNotReady;
  if (tocFailuresLeft_ > 0) {
    --tocFailuresLeft_;
    return kFailed;
  }
  toc = toc_;
  return kOk;
}

std::int32_t SimulatedDrive::readCdda(std::uint32_t lba, std::uint32_t count, void* out) {
  if (!ready()) return kNotReady;
  if (std::uint64_t{lba} + count > leadOut_) return kOutOfRange;
  auto* bytes = static_cast<std::uint8_t*>(out);
  if (settings_.audio != SimAudio::kFile) {
    generateAudio(settings_.audio, lba, count, bytes);
    return kOk;
  }
  std::size_t want = std::size_t{count} * kCdSectorBytes;
  auto offset = static_cast<off_t>(std::uint64_t{lba} * kCdSectorBytes);
  while (want > 0) {
    const ssize_t got = ::pread(fd_, bytes, want, offset);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return kFailed;  // error, or the file ends before the sectors do
    bytes += got;
    offset += got;
    want -= static_cast<std::size_t>(got);
  }
  return kOk;
}

std::int32_t SimulatedDrive::eject() {
  discIn_ = false;
  return kOk;
}

std::int32_t SimulatedDrive::load() {
  // Closing the tray replays the readiness script: the drive spins up again.
  if (!discIn_) insertDisc();
  return kOk;
}

std::int32_t SimulatedDrive::lock() {
  ++locks_;
  return kOk;
}

std::int32_t SimulatedDrive::unlock() {
  if (locks_ > 0) --locks_;
  return kOk;
}

std::int32_t SimulatedDrive::lockVolume() {
  ++volumeLocks_;
  return kOk;
}

std::int32_t SimulatedDrive::unlockVolume() {
  if (volumeLocks_ > 0) --volumeLocks_;
  return kOk;
}

std::int32_t SimulatedDrive::prepare() {
  ++prepares_;
  return kOk;
}

std::int32_t SimulatedDrive::readCdText(void*, std::uint32_t& bytes) {
  bytes = 0;
  return kUnsupported;
}

std::int32_t SimulatedDrive::setSpeed(std::uint32_t speed) {
  speed_ = speed;
  return kOk;
}

std::int32_t SimulatedDrive::getSpeed(std::uint32_t& speed) {
  speed = speed_;
  return kOk;
}

SimDriveSettings parseSimDriveSettings(const json& entry, const DriveContext& context) {
  cfg::checkKeys(entry,
                 {"type", "name", "mode", "tracks", "readiness", "audio", "toc_failures", "disc",
                  "max_buffer"},
                 "", context.note);
  SimDriveSettings s;
  s.name = context.name;
  s.tracks = parseTracks(entry, context.note);

  if (const json* readiness = cfg::find(entry, "readiness")) {
    if (!readiness->is_array() || readiness->empty() ||
        readiness->size() > kMaxReadinessAnswers)
      throw ConfigError("\"readiness\" must be an array of 1 to " +
                        std::to_string(kMaxReadinessAnswers) + " answers");
    s.readiness.clear();
    for (const json& answer : *readiness)
      s.readiness.push_back(static_cast<std::int32_t>(
          cfg::toUint(answer, "each \"readiness\" answer", 0, kMaxReadinessCode)));
  }

  if (const json* audio = cfg::find(entry, "audio")) {
    if (!audio->is_object()) throw ConfigError("\"audio\" must be an object");
    cfg::checkKeys(*audio, {"generator", "file"}, "audio: ", context.note);
    const json* generator = cfg::find(*audio, "generator");
    const json* file = cfg::find(*audio, "file");
    if ((generator != nullptr) == (file != nullptr))
      throw ConfigError("\"audio\" must have either \"generator\" or \"file\"");
    if (generator) {
      const std::string g = generator->is_string() ? generator->get<std::string>() : "";
      if (g == "silence") s.audio = SimAudio::kSilence;
      else if (g == "sine") s.audio = SimAudio::kSine;
      else if (g == "counter") s.audio = SimAudio::kCounter;
      else throw ConfigError("\"generator\" must be \"silence\", \"sine\" or \"counter\"");
    } else {
      if (!file->is_string() || file->get_ref<const std::string&>().empty())
        throw ConfigError("\"file\" must be a non-empty string");
      std::filesystem::path path(file->get<std::string>());
      if (path.is_relative() && !context.configDir.empty()) path = context.configDir / path;
      s.audio = SimAudio::kFile;
      s.audioFile = path.string();
    }
  }

  s.tocFailures = cfg::uintField(entry, "toc_failures", 0, kMaxTocFailures, 0);
  s.disc = cfg::boolField(entry, "disc", true);
  s.maxTransferBytes = cfg::uintField(entry, "max_buffer", kCdSectorBytes,
                                      static_cast<std::uint32_t>(kMaxBufferBytes),
                                      kDefaultMaxTransferBytes);
  return s;
}

std::unique_ptr<Drive> makeSimulatedDrive(const json& entry, const DriveContext& context) {
  return std::make_unique<SimulatedDrive>(parseSimDriveSettings(entry, context));
}

}  // namespace cdr
