#pragma once
// A real optical drive, through libcdio's device driver (/dev/sr*). The
// device is opened when first used and again after it has failed to answer,
// so a drive that is unplugged and plugged back keeps working; while it is
// gone the drive answers "not ready".
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "drivers/cdr/cdio_support.h"
#include "drivers/cdr/config.h"
#include "drivers/cdr/drive.h"
#include "drivers/cdr/scsi_command.h"

namespace cdr {

// Sectors per READ CD command: below 64 KiB, which every kernel and bridge
// passes in one transfer.
constexpr std::uint32_t kDeviceChunkSectors = 26;
// How long one command may take before the drive counts as not answering;
// an entry's "timeout_ms" sets it (tests use short ones).
constexpr unsigned kDefaultCommandTimeoutMs = 10000;

class DeviceDrive final : public Drive {
 public:
  DeviceDrive(std::string path, std::string name,
              unsigned commandTimeoutMs = kDefaultCommandTimeoutMs);
  ~DeviceDrive() override = default;
  DeviceDrive(const DeviceDrive&) = delete;
  DeviceDrive& operator=(const DeviceDrive&) = delete;

  std::string name() const override { return name_; }
  std::int32_t testUnitReady() override;
  std::int32_t readToc(CdToc& toc) override;
  std::int32_t readCdda(std::uint32_t lba, std::uint32_t count, void* out) override;
  std::int32_t eject() override;
  std::int32_t load() override;
  std::int32_t lock() override;
  std::int32_t unlock() override;
  // Linux has no volume lock a ripper needs: an audio disc has no file system
  // to keep mounted, and an exclusive open would keep the desktop from
  // mounting data discs for as long as the window is open. So: nothing.
  std::int32_t lockVolume() override { return kOk; }
  std::int32_t unlockVolume() override { return kOk; }
  std::int32_t prepare() override { return kOk; }
  std::int32_t setSpeed(std::uint32_t speed) override;
  std::uint32_t maxTransferBytes() const override;

  const std::string& path() const { return path_; }

 private:
  bool ensureOpen();
  void close();
  std::int32_t preventRemoval(bool prevent);
  bool readCdChunk(std::uint32_t lba, std::uint32_t count, std::uint8_t* out);

  // All of it is used under the drive's mutex only.
  const std::string path_;
  const std::string name_;  // Windows-1252
  const unsigned timeoutMs_;
  CdioHandle cdio_;         // null until used, and after the device failed
  std::unique_ptr<ScsiDevice> scsi_;  // the same device, for commands with a time-out
  std::uint32_t leadOut_ = 0;  // of the last table of contents read; 0 unknown
};

// The device paths libcdio finds, each device once (symbolic links such as
// /dev/cdrom resolved), in libcdio's order, at most kMaxDrives.
std::vector<std::string> findDevicePaths();

// The display name from the drive's inquiry data, or the path alone when the
// drive cannot be asked; and "VENDOR MODEL" ("" then), the offsets file's key.
struct DeviceIdentity {
  std::string name;
  std::string vendorModel;
};
DeviceIdentity probeDevice(const std::string& path);
std::string probeDeviceName(const std::string& path);

// Every drive findDevicePaths() gives, each with the read offset the
// offsets file sets for its model.
std::vector<std::unique_ptr<Drive>> makeFoundDevices();

// A configuration entry of type "device": one drive by "path", or with no
// path every drive libcdio finds.
std::vector<std::unique_ptr<Drive>> makeDeviceDrives(const nlohmann::json& entry,
                                                     const DriveContext& context);

}  // namespace cdr
