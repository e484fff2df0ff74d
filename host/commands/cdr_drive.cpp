#include "host/commands/cdr_drive.h"

#include <cstring>

namespace qomhost {
namespace {

constexpr std::uint32_t kMaxSectors = 26;  // as SectorSource promises
constexpr std::uint32_t kMaxDrives = 64;   // more comes only from a faulty library

}  // namespace

CdrDrive::~CdrDrive() {
  if (bufferHandle_ != nullptr && free_ != nullptr) free_(bufferHandle_);
}

std::unique_ptr<CdrDrive> CdrDrive::open(const std::string& library, const std::string& name,
                                         std::string& problem) {
  std::unique_ptr<CdrDrive> drive(new CdrDrive);
  platform::DynamicLibrary& lib = drive->library_;
  if (!lib.open(library)) {
    problem = "cannot load " + library + ": " + lib.lastError();
    return nullptr;
  }
  if (!lib.resolve(drive->initialize_, "CD_Initialize2") || !lib.resolve(drive->deviceCount_, "CD_GetDeviceCount") ||
      !lib.resolve(drive->devices_, "CD_GetDevices") || !lib.resolve(drive->readToc_, "CD_ReadTOC") ||
      !lib.resolve(drive->allocate_, "CD_AllocateBuffer") || !lib.resolve(drive->free_, "CD_FreeBuffer") ||
      !lib.resolve(drive->readCdda_, "CD_ReadCDDA")) {
    problem = library + ": " + lib.lastError();
    return nullptr;
  }
  // As the component does: the devices first, with images and the
  // fallback entries only when they offer none.
  bool found = false;
  for (std::uint32_t mode : {kCdAccessDevices, kCdAccessDevicesAndImages}) {
    std::uint32_t count = 0;
    CdDeviceRecord** records = nullptr;
    if (drive->initialize_(mode, 1) != 0 || drive->deviceCount_(&count) != 0 || count == 0) continue;
    if (count > kMaxDrives || drive->devices_(&records) != 0 || records == nullptr) break;
    for (std::uint32_t i = 0; i < count && !found; ++i) {
      if (records[i] == nullptr) continue;
      const std::string shown(records[i]->name, strnlen(records[i]->name, kCdDeviceNameBytes));
      if (shown == name) {
        drive->device_ = i;
        found = true;
      }
    }
    break;
  }
  if (!found) {
    problem = "the drive library no longer offers this drive";
    return nullptr;
  }
  if (drive->allocate_(drive->device_, kMaxSectors * kCdSectorBytes, &drive->buffer_, &drive->bufferHandle_) != 0 ||
      drive->buffer_ == nullptr) {
    drive->bufferHandle_ = nullptr;
    problem = "the drive library gave no read buffer";
    return nullptr;
  }
  return drive;
}

bool CdrDrive::readToc(std::vector<verify::TocEntry>& tracks, std::uint32_t& leadOut, std::string& problem) {
  auto toc = std::make_unique<CdToc>();
  if (readToc_(device_, toc.get()) != 0) {
    problem = "the drive's table of contents could not be read";
    return false;
  }
  if (toc->firstTrack < 1 || toc->lastTrack > kCdMaxTracks || toc->firstTrack > toc->lastTrack) {
    problem = "the drive's table of contents is not usable";
    return false;
  }
  tracks.clear();
  leadOut = toc->entries[0].startSector;
  for (std::uint32_t n = toc->firstTrack; n <= toc->lastTrack; ++n) {
    const CdTocEntry& e = toc->entries[n];
    if (e.startSector >= leadOut || (!tracks.empty() && e.startSector <= tracks.back().startLba)) {
      problem = "the drive's table of contents is not in order";
      return false;
    }
    tracks.push_back({n, e.startSector, (e.control & kCdControlData) == 0});
  }
  return true;
}

bool CdrDrive::readSectors(std::uint32_t lba, std::uint32_t count, std::uint8_t* out) {
  if (count == 0 || count > kMaxSectors) return false;
  if (readCdda_(device_, lba, count, buffer_, 1) != 0) return false;
  std::memcpy(out, buffer_, std::size_t{count} * kCdSectorBytes);
  return true;
}

}  // namespace qomhost
