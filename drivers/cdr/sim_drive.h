#pragma once
// A simulated drive: a disc described by the configuration, with scripted
// readiness, deterministic audio and injectable table-of-contents failures,
// so the component can be exercised without hardware.
#include <cstdint>
#include <memory>
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

struct SimDriveSettings {
  std::string name;  // Windows-1252
  std::vector<TrackLayout> tracks;
  std::vector<std::int32_t> readiness{kCdReady};  // the last answer repeats
  SimAudio audio = SimAudio::kSilence;
  std::string audioFile;  // for kFile
  std::uint32_t tocFailures = 0;
  bool disc = true;  // false: the tray starts open, CD_Load closes it
  std::uint32_t maxTransferBytes = kDefaultMaxTransferBytes;
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
  std::int32_t eject() override;
  std::int32_t load() override;
  std::int32_t lock() override;
  std::int32_t unlock() override;
  std::int32_t lockVolume() override;
  std::int32_t unlockVolume() override;
  std::int32_t prepare() override;
  std::int32_t readCdText(void* buffer, std::uint32_t& bytes) override;
  std::int32_t setSpeed(std::uint32_t speed) override;
  std::int32_t getSpeed(std::uint32_t& speed) override;
  std::uint32_t maxTransferBytes() const override { return settings_.maxTransferBytes; }

 private:
  bool ready() const { return discIn_ && state_ == kCdReady; }
  void insertDisc();

  SimDriveSettings settings_;
  CdToc toc_{};
  std::uint32_t leadOut_ = 0;
  int fd_ = -1;
  bool discIn_ = false;
  std::size_t nextAnswer_ = 0;
  // The readiness the drive is in: the answer last given, or before any
  // question on this disc the first answer of the script.
  std::int32_t state_ = kCdNoDisc;
  std::uint32_t tocFailuresLeft_ = 0;
  std::uint32_t locks_ = 0;
  std::uint32_t volumeLocks_ = 0;
  std::uint32_t prepares_ = 0;
  std::uint32_t speed_ = 0;
};

// The samples a generator gives for count sectors from lba; out holds
// count * kCdSectorBytes bytes. Pure: the same sector always gives the same bytes.
void generateAudio(SimAudio kind, std::uint32_t lba, std::uint32_t count, std::uint8_t* out);

// Settings from a configuration entry of type "simulated"; throws ConfigError.
SimDriveSettings parseSimDriveSettings(const nlohmann::json& entry, const DriveContext& context);
std::unique_ptr<Drive> makeSimulatedDrive(const nlohmann::json& entry, const DriveContext& context);

}  // namespace cdr
