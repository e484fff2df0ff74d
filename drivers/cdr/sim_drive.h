#pragma once
// A simulated drive: a disc described by the configuration, with scripted
// readiness, deterministic audio and injectable faults (table-of-contents
// and read failures, jitter, a speed limit, a disc pulled mid-read), so the
// component can be exercised, and drilled, without hardware.
#include <chrono>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "drivers/cdr/config.h"
#include "drivers/cdr/drive.h"
#include "drivers/cdr/toc.h"

namespace cdr {

enum class SimAudio {
  kSilence,  // zero samples
  kSine,     // 441 Hz left, 882 Hz right: a whole period every 100 frames
  kCounter,  // each 4-byte stereo frame holds its absolute frame number (LE)
  kFile,     // raw CD-DA, sector n at byte n * 2352
};

constexpr std::uint32_t kDefaultMaxTransferBytes = 64 * 1024;
constexpr std::size_t kMaxReadinessAnswers = 10000;
constexpr std::size_t kMaxReadFailures = 1000;
// A drive that misses the asked sector misses it by a few sectors at most.
constexpr std::uint32_t kMaxJitterBytes = 3 * kCdSectorBytes;
constexpr std::uint32_t kMaxSpeed = 100;  // times 75 sectors a second

// One answer of a readiness script over time: given for ms milliseconds
// after the previous answer ends (the first from the disc's insertion); the
// last answer lasts for ever, whatever its ms.
struct TimedAnswer {
  std::int32_t answer = kCdReady;
  std::uint32_t ms = 0;
};

// Reads whose range holds sector fail: attempts times, or always.
struct ReadFailure {
  std::uint32_t sector = 0;
  std::uint32_t attempts = 0;
  bool permanent = false;
};

struct Jitter {
  enum class Kind { kNone, kFixed, kRandom } kind = Kind::kNone;
  std::int32_t bytes = 0;      // kFixed: every read lands this many bytes off
  std::uint32_t maxBytes = 0;  // kRandom: whole stereo frames within +-maxBytes
  std::uint32_t seed = 1;      // kRandom: the same seed gives the same shifts
};

struct SimDriveSettings {
  std::string name;  // Windows-1252
  std::vector<TrackLayout> tracks;
  std::vector<std::int32_t> readiness{kCdReady};  // per call; the last answer repeats
  std::vector<TimedAnswer> timedReadiness;        // over time; replaces readiness when set
  SimAudio audio = SimAudio::kSilence;
  std::string audioFile;  // for kFile
  std::uint32_t tocFailures = 0;
  bool disc = true;  // false: the tray starts open, CD_Load closes it
  std::uint32_t maxTransferBytes = kDefaultMaxTransferBytes;
  std::vector<ReadFailure> readFailures;
  Jitter jitter;
  std::uint32_t speed = 0;            // 0: no limit
  std::uint32_t ejectAfterReads = 0;  // 0: never
};

class SimulatedDrive final : public Drive {
 public:
  // Throws std::runtime_error with the reason when the tracks do not make a
  // disc or the raw audio file cannot be opened.
  explicit SimulatedDrive(SimDriveSettings settings);
  ~SimulatedDrive() override;
  SimulatedDrive(const SimulatedDrive&) = delete;
  SimulatedDrive& operator=(const SimulatedDrive&) = delete;

  std::string name() const override { return settings_.name; }
  std::int32_t testUnitReady() override;
  std::int32_t readToc(CdToc& toc) override;
  std::int32_t readCdda(std::uint32_t lba, std::uint32_t count, void* out) override;
  std::chrono::steady_clock::time_point readDoneAt() const override { return doneAt_; }
  std::int32_t eject() override;
  std::int32_t load() override;
  std::int32_t lock() override;
  std::int32_t unlock() override;
  std::int32_t lockVolume() override;
  std::int32_t unlockVolume() override;
  std::int32_t prepare() override;
  std::uint32_t maxTransferBytes() const override { return settings_.maxTransferBytes; }

 private:
  using Clock = std::chrono::steady_clock;

  bool ready() const { return discIn_ && state_ == kCdReady; }
  void insertDisc();
  bool failsAt(std::uint32_t lba, std::uint32_t count);
  std::int64_t nextShift();
  // bytes of the disc's audio from byte offset (within the disc) into out.
  std::int32_t readDisc(std::uint64_t offset, std::size_t bytes, std::uint8_t* out) const;

  // All of it is used under the drive's mutex only.
  SimDriveSettings settings_;
  CdToc toc_{};
  std::uint32_t leadOut_ = 0;
  int fd_ = -1;
  bool discIn_ = false;
  Clock::time_point insertedAt_{};
  std::size_t nextAnswer_ = 0;
  // The readiness the drive is in: the answer last given, or before any
  // question on this disc the first answer of the script.
  std::int32_t state_ = kCdNoDisc;
  std::uint32_t tocFailuresLeft_ = 0;
  std::vector<std::uint32_t> failuresLeft_;  // per settings_.readFailures entry
  std::mt19937 random_;
  std::uint64_t reads_ = 0;
  bool pulled_ = false;  // the eject_after_reads drill has happened
  Clock::time_point busyUntil_{};  // the end of the last paced transfer
  Clock::time_point doneAt_{};     // when the last read may return
  std::uint32_t locks_ = 0;
  std::uint32_t volumeLocks_ = 0;
  std::uint32_t prepares_ = 0;
};

// The samples a generator gives for count sectors from lba; out holds
// count * kCdSectorBytes bytes. Pure: the same sector always gives the same bytes.
void generateAudio(SimAudio kind, std::uint32_t lba, std::uint32_t count, std::uint8_t* out);

// The answer a script over time gives elapsed after the disc went in.
std::int32_t timedAnswerAt(const std::vector<TimedAnswer>& script, std::chrono::milliseconds elapsed);

// shift moved just enough towards 0 that count sectors from lba, shifted by
// it, stay on a disc of leadOut sectors (which holds them unshifted).
std::int64_t clampShift(std::int64_t shift, std::uint32_t lba, std::uint32_t count,
                        std::uint32_t leadOut);

// How long a drive of speed (times 75 sectors a second) takes for sectors.
std::chrono::nanoseconds transferTime(std::uint32_t sectors, std::uint32_t speed);

// Settings from a configuration entry of type "simulated"; throws ConfigError.
SimDriveSettings parseSimDriveSettings(const nlohmann::json& entry, const DriveContext& context);
std::vector<std::unique_ptr<Drive>> makeSimulatedDrive(const nlohmann::json& entry,
                                                       const DriveContext& context);

}  // namespace cdr
