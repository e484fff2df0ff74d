#include "drivers/cdr/device_drive.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <nlohmann/json.hpp>

#include "drivers/cdr/device_status.h"
#include "drivers/cdr/read_offset.h"
#include "drivers/cdr/warn.h"
#include "drivers/cdr/toc.h"

namespace cdr {
namespace {

using nlohmann::json;

bool isBlockDevice(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
}

CdioHandle openDevice(const std::string& path) {
  // Only block devices reach libcdio: a path from the configuration might
  // name anything, and a FIFO or a regular file is no drive.
  if (!isBlockDevice(path)) return nullptr;
  initCdio();
  CdIo_t* raw;
  {
    std::lock_guard<std::mutex> lock(cdioMutex());
    raw = cdio_open(path.c_str(), DRIVER_DEVICE);
  }
  return CdioHandle(raw);
}

// The tray as GET EVENT STATUS NOTIFICATION (media class, polled) says.
Tray trayStatus(const ScsiDevice& scsi, unsigned timeoutMs) {
  const std::uint8_t cdb[10] = {0x4A, 0x01, 0, 0, 0x10, 0, 0, 0, 8, 0};
  std::uint8_t reply[8] = {};
  const ScsiResult r = scsi.run(cdb, sizeof cdb, reply, sizeof reply, timeoutMs);
  if (!r.good) return Tray::kUnknown;
  return (reply[5] & 0x01) != 0 ? Tray::kOpen : Tray::kClosed;
}

std::string realPath(const std::string& path) {
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

}  // namespace

DeviceDrive::DeviceDrive(std::string path, std::string name, unsigned commandTimeoutMs)
    : path_(std::move(path)), name_(std::move(name)), timeoutMs_(commandTimeoutMs) {}

bool DeviceDrive::ensureOpen() {
  if (!cdio_) cdio_ = openDevice(path_);
  if (cdio_ && !scsi_) {
    scsi_ = std::make_unique<ScsiDevice>(path_);
    if (!scsi_->isOpen()) close();
  }
  return cdio_ != nullptr;
}

void DeviceDrive::close() {
  cdio_.reset();
  scsi_.reset();
}

std::int32_t DeviceDrive::testUnitReady() {
  if (!ensureOpen()) return kNotReady;
  const std::uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};  // TEST UNIT READY
  const ScsiResult r = scsi_->run(cdb, sizeof cdb, nullptr, 0, timeoutMs_);
  if (r.good) return kCdReady;
  leadOut_ = 0;  // whatever disc comes next is read afresh
  // No answer within the time-out: asking for the tray would cost another
  // one while the window's poll waits. Open the device afresh next time.
  if (!r.answered) {
    close();
    return kNotReady;
  }
  const Tray tray = r.sense.present ? Tray::kUnknown : trayStatus(*scsi_, timeoutMs_);
  // Neither sense nor tray: the device may be gone; open it again next time.
  if (!r.sense.present && tray == Tray::kUnknown) close();
  return readinessFromDrive(false, r.sense, tray);
}

std::int32_t DeviceDrive::readToc(CdToc& toc) {
  // A fresh handle: libcdio keeps the first table of contents it read for
  // the life of a handle, and the disc may have changed since.
  close();
  if (!ensureOpen()) return kNotReady;
  std::uint32_t firstTrack = 1;
  std::vector<TrackLayout> tracks;
  if (!readLayout(cdio_.get(), firstTrack, tracks).empty()) return kFailed;
  lsn_t lastSession = -1;
  if (cdio_get_last_session(cdio_.get(), &lastSession) != DRIVER_OP_SUCCESS) lastSession = -1;
  trimSessionGap(tracks, lastSession);
  if (!buildToc(tracks, toc, firstTrack)) return kFailed;
  leadOut_ = leadOutOf(tracks);
  return kOk;
}

std::int32_t DeviceDrive::readCdda(std::uint32_t lba, std::uint32_t count, void* out) {
  if (!ensureOpen()) return kNotReady;
  // Past the lead-out of the disc last read a drive answers with an error
  // anyway; refusing here keeps a bad request from reaching it.
  if (leadOut_ != 0 && std::uint64_t{lba} + count > leadOut_) return kOutOfRange;
  if (std::uint64_t{lba} + count > kMaxDiscSectors) return kOutOfRange;
  auto* bytes = static_cast<std::uint8_t*>(out);
  while (count > 0) {
    const std::uint32_t n = std::min(count, kDeviceChunkSectors);
    if (!readCdChunk(lba, n, bytes)) return kFailed;
    bytes += std::size_t{n} * kCdSectorBytes;
    lba += n;
    count -= n;
  }
  return kOk;
}

// READ CD of CD-DA sectors, user data only (the 2352 bytes), as one MMC
// command, so it carries this drive's time-out (libcdio's own audio read
// goes through an ioctl that waits as long as the kernel likes) and a
// failure leaves its sense data.
bool DeviceDrive::readCdChunk(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) {
  const std::uint8_t cdb[12] = {0xBE, 0x04,  // expected sector type: CD-DA
                                static_cast<std::uint8_t>(lba >> 24), static_cast<std::uint8_t>(lba >> 16),
                                static_cast<std::uint8_t>(lba >> 8), static_cast<std::uint8_t>(lba),
                                static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 8),
                                static_cast<std::uint8_t>(count), 0x10, 0, 0};
  return scsi_->run(cdb, sizeof cdb, out, std::size_t{count} * kCdSectorBytes, timeoutMs_).good;
}

std::int32_t DeviceDrive::preventRemoval(bool prevent) {
  if (!ensureOpen()) return kNotReady;
  const std::uint8_t cdb[6] = {0x1E, 0, 0, 0, static_cast<std::uint8_t>(prevent ? 1 : 0), 0};
  return scsi_->run(cdb, sizeof cdb, nullptr, 0, timeoutMs_).good ? kOk : kFailed;
}

std::int32_t DeviceDrive::lock() { return preventRemoval(true); }

std::int32_t DeviceDrive::unlock() { return preventRemoval(false); }

std::int32_t DeviceDrive::eject() {
  if (!ensureOpen()) return kNotReady;
  preventRemoval(false);  // a tray locked by this library must still open
  leadOut_ = 0;
  CdIo_t* raw = cdio_.release();
  driver_return_code_t rc;
  {
    std::lock_guard<std::mutex> lock(cdioMutex());
    rc = cdio_eject_media(&raw);  // closes the handle when it succeeds
  }
  cdio_.reset(raw);
  return rc == DRIVER_OP_SUCCESS ? kOk : kFailed;
}

std::int32_t DeviceDrive::load() {
  close();
  if (!isBlockDevice(path_)) return kNotReady;
  driver_id_t driver = DRIVER_DEVICE;
  driver_return_code_t rc;
  {
    std::lock_guard<std::mutex> lock(cdioMutex());
    rc = cdio_close_tray(path_.c_str(), &driver);
  }
  return rc == DRIVER_OP_SUCCESS ? kOk : kFailed;
}

std::int32_t DeviceDrive::setSpeed(std::uint32_t speed) {
  if (!ensureOpen()) return kNotReady;
  if (speed > INT_MAX || cdio_set_speed(cdio_.get(), static_cast<int>(speed)) != DRIVER_OP_SUCCESS)
    return kFailed;
  return Drive::setSpeed(speed);
}

std::uint32_t DeviceDrive::maxTransferBytes() const {
  return kDeviceChunkSectors * static_cast<std::uint32_t>(kCdSectorBytes);
}

std::vector<std::string> findDevicePaths() {
  initCdio();
  std::vector<std::string> found;
  {
    std::lock_guard<std::mutex> lock(cdioMutex());
    char** list = cdio_get_devices(DRIVER_DEVICE);
    for (char** p = list; p && *p; ++p) found.emplace_back(*p);
    if (list) cdio_free_device_list(list);
  }
  std::vector<std::string> paths, seen;
  for (const std::string& path : found) {
    const std::string real = realPath(path);
    if (std::find(seen.begin(), seen.end(), real) != seen.end()) continue;
    seen.push_back(real);
    paths.push_back(path);
    if (paths.size() == kMaxDrives) break;
  }
  return paths;
}

DeviceIdentity probeDevice(const std::string& path) {
  cdio_hwinfo_t info{};
  CdioHandle cdio = openDevice(path);
  if (!cdio || !cdio_get_hwinfo(cdio.get(), &info)) return {displayName(path), ""};
  const std::string_view vendor(info.psz_vendor, strnlen(info.psz_vendor, sizeof info.psz_vendor));
  const std::string_view model(info.psz_model, strnlen(info.psz_model, sizeof info.psz_model));
  return {displayName(deviceDisplayName(vendor, model, path)), vendorAndModel(vendor, model)};
}

std::string probeDeviceName(const std::string& path) { return probeDevice(path).name; }

std::vector<std::unique_ptr<Drive>> makeFoundDevices() {
  std::vector<std::unique_ptr<Drive>> drives;
  for (const std::string& path : findDevicePaths()) {
    const DeviceIdentity identity = probeDevice(path);
    const std::int32_t offset = offsetFromFile(identity.vendorModel, warnLine);
    drives.push_back(withReadOffset(std::make_unique<DeviceDrive>(path, identity.name), offset));
  }
  return drives;
}

std::vector<std::unique_ptr<Drive>> makeDeviceDrives(const json& entry, const DriveContext& context) {
  cfg::checkKeys(entry, {"type", "name", "mode", "path", "timeout_ms", "offset"}, "", context.note);
  const unsigned timeoutMs = cfg::uintField(entry, "timeout_ms", 100, 600000, kDefaultCommandTimeoutMs);
  const std::optional<std::int32_t> offset = offsetField(entry);
  const json* path = cfg::find(entry, "path");
  if (!path) {
    if (!context.name.empty()) context.note("\"name\" ignored without \"path\": drives name themselves");
    if (offset) context.note("\"offset\" ignored without \"path\": set it per drive model in the offsets file");
    return makeFoundDevices();
  }
  if (!path->is_string() || path->get_ref<const std::string&>().empty() ||
      path->get_ref<const std::string&>().front() != '/')
    throw ConfigError("\"path\" must be an absolute device path such as /dev/sr0");
  const std::string device = path->get<std::string>();
  const DeviceIdentity identity = probeDevice(device);
  std::vector<std::unique_ptr<Drive>> drives;
  drives.push_back(withReadOffset(
      std::make_unique<DeviceDrive>(device, context.name.empty() ? identity.name : context.name,
                                    timeoutMs),
      offset ? *offset : offsetFromFile(identity.vendorModel, context.note)));
  return drives;
}

}  // namespace cdr
