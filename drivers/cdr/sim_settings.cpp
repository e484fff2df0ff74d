// The configuration entry of a simulated drive, checked field by field.
#include <filesystem>

#include <nlohmann/json.hpp>

#include "drivers/cdr/buffers.h"
#include "drivers/cdr/read_offset.h"
#include "drivers/cdr/sim_drive.h"

namespace cdr {
namespace {

using nlohmann::json;

constexpr std::uint32_t kMaxTocFailures = 1000000;
constexpr std::uint32_t kMaxAttempts = 1000000;
constexpr std::int32_t kMaxReadinessCode = 0xffff;
constexpr std::uint32_t kMaxAnswerMs = 3600 * 1000;
constexpr std::uint32_t kMaxEjectAfterReads = 100000000;

std::string quoted(const char* key) { return std::string("\"") + key + "\""; }

std::int32_t readinessCode(const json& value, const std::string& what) {
  return static_cast<std::int32_t>(cfg::toUint(value, what, 0, kMaxReadinessCode));
}

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

void parseReadiness(const json& entry, SimDriveSettings& s, const Warn& note) {
  const json* perCall = cfg::find(entry, "readiness");
  const json* overTime = cfg::find(entry, "readiness_ms");
  if (perCall && overTime) throw ConfigError("give \"readiness\" or \"readiness_ms\", not both");
  const json* script = perCall ? perCall : overTime;
  if (!script) return;
  const char* key = perCall ? "readiness" : "readiness_ms";
  if (!script->is_array() || script->empty() || script->size() > kMaxReadinessAnswers)
    throw ConfigError(quoted(key) + " must be an array of 1 to " +
                      std::to_string(kMaxReadinessAnswers) + " answers");
  if (perCall) {
    s.readiness.clear();
    for (const json& answer : *script)
      s.readiness.push_back(readinessCode(answer, "each \"readiness\" answer"));
    return;
  }
  for (std::size_t i = 0; i < script->size(); ++i) {
    const json& step = (*script)[i];
    const std::string which = "readiness_ms " + std::to_string(i + 1);
    if (!step.is_object()) throw ConfigError(which + " is not an object");
    cfg::checkKeys(step, {"answer", "ms"}, which + ": ", note);
    const json* answer = cfg::find(step, "answer");
    if (!answer) throw ConfigError(which + " has no \"answer\"");
    TimedAnswer t;
    t.answer = readinessCode(*answer, which + " \"answer\"");
    t.ms = cfg::uintField(step, "ms", 0, kMaxAnswerMs, 0);
    s.timedReadiness.push_back(t);
  }
}

void parseReadFailures(const json& entry, SimDriveSettings& s, const Warn& note) {
  const json* list = cfg::find(entry, "read_failures");
  if (!list) return;
  if (!list->is_array() || list->size() > kMaxReadFailures)
    throw ConfigError("\"read_failures\" must be an array of at most " +
                      std::to_string(kMaxReadFailures) + " entries");
  for (std::size_t i = 0; i < list->size(); ++i) {
    const json& f = (*list)[i];
    const std::string which = "read_failures " + std::to_string(i + 1);
    if (!f.is_object()) throw ConfigError(which + " is not an object");
    cfg::checkKeys(f, {"sector", "attempts"}, which + ": ", note);
    const json* sector = cfg::find(f, "sector");
    if (!sector) throw ConfigError(which + " has no \"sector\"");
    ReadFailure failure;
    failure.sector = cfg::toUint(*sector, which + " \"sector\"", 0, kMaxDiscSectors - 1);
    const json* attempts = cfg::find(f, "attempts");
    failure.permanent = attempts == nullptr;
    if (attempts) failure.attempts = cfg::toUint(*attempts, which + " \"attempts\"", 1, kMaxAttempts);
    s.readFailures.push_back(failure);
  }
}

void parseJitter(const json& entry, SimDriveSettings& s, const Warn& note) {
  const json* jitter = cfg::find(entry, "jitter");
  if (!jitter) return;
  if (!jitter->is_object()) throw ConfigError("\"jitter\" must be an object");
  cfg::checkKeys(*jitter, {"bytes", "max_bytes", "seed"}, "jitter: ", note);
  const json* bytes = cfg::find(*jitter, "bytes");
  const json* maxBytes = cfg::find(*jitter, "max_bytes");
  if ((bytes != nullptr) == (maxBytes != nullptr))
    throw ConfigError("\"jitter\" must have either \"bytes\" or \"max_bytes\"");
  const std::string range = std::to_string(kMaxJitterBytes);
  if (bytes) {
    const std::string why = "\"jitter\" \"bytes\" must be an integer from -" + range + " to " + range;
    // Unsigned first: a huge value must not wrap into a small negative one.
    if (!bytes->is_number_integer() ||
        (bytes->is_number_unsigned() && bytes->get<std::uint64_t>() > kMaxJitterBytes))
      throw ConfigError(why);
    const auto b = bytes->get<std::int64_t>();
    if (b < -std::int64_t{kMaxJitterBytes} || b > kMaxJitterBytes) throw ConfigError(why);
    s.jitter.kind = Jitter::Kind::kFixed;
    s.jitter.bytes = static_cast<std::int32_t>(b);
  } else {
    s.jitter.kind = Jitter::Kind::kRandom;
    s.jitter.maxBytes = cfg::toUint(*maxBytes, "\"jitter\" \"max_bytes\"", 0, kMaxJitterBytes);
    s.jitter.seed = cfg::uintField(*jitter, "seed", 0, 0xffffffffu, 1);
  }
}

}  // namespace

SimDriveSettings parseSimDriveSettings(const json& entry, const DriveContext& context) {
  cfg::checkKeys(entry,
                 {"type", "name", "mode", "tracks", "readiness", "readiness_ms", "audio",
                  "toc_failures", "disc", "max_buffer", "read_failures", "jitter", "speed",
                  "eject_after_reads", "offset"},
                 "", context.note);
  if (context.name.empty()) throw ConfigError("\"name\" must be a non-empty string");
  SimDriveSettings s;
  s.name = context.name;
  s.tracks = parseTracks(entry, context.note);
  parseReadiness(entry, s, context.note);

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
  parseReadFailures(entry, s, context.note);
  parseJitter(entry, s, context.note);
  s.speed = cfg::uintField(entry, "speed", 1, kMaxSpeed, 0);
  s.ejectAfterReads = cfg::uintField(entry, "eject_after_reads", 1, kMaxEjectAfterReads, 0);
  return s;
}

std::vector<std::unique_ptr<Drive>> makeSimulatedDrive(const json& entry, const DriveContext& context) {
  std::vector<std::unique_ptr<Drive>> drives;
  drives.push_back(withReadOffset(std::make_unique<SimulatedDrive>(parseSimDriveSettings(entry, context)),
                                  offsetField(entry).value_or(0)));
  return drives;
}

}  // namespace cdr
