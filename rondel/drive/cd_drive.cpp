#include "rondel/drive/cd_drive.h"

#include <cstring>

#include "rondel/drive/drive_library.h"

namespace rondel {
namespace {
std::string recordName(const CdDeviceRecord* record) {
  if (record == nullptr) return {};
  return std::string(record->name, ::strnlen(record->name, sizeof record->name));
}
}  // namespace

CdDrive::CdDrive(const CdDeviceRecord* record, std::uint32_t deviceIndex)
    : record_(record), deviceIndex_(deviceIndex), name_(recordName(record)) {}

bool isTocPlausible(const CdToc& toc) {
  const std::uint32_t first = toc.firstTrack, last = toc.lastTrack;
  return first >= 1 && last <= kCdMaxTracks && first <= last;
}

bool CdDrive::readToc(CdToc& toc) const {
  const CdrFunctions& f = cdr();
  if (f.CD_ReadTOC == nullptr) return false;
  std::memset(&toc, 0, sizeof toc);
  if (f.CD_ReadTOC(deviceIndex_, &toc) != 0) return false;
  return isTocPlausible(toc);
}

}  // namespace rondel
