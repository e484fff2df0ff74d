#include "rondel/drive/cd_drive.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "rondel/drive/drive_library.h"

namespace rondel {
namespace {
constexpr int kTocAttempts = 5;
constexpr std::chrono::milliseconds kTocRetryDelay{50};

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

bool CdDrive::readTocRetrying(CdToc& toc) const {
  for (int attempt = 1; attempt <= kTocAttempts; ++attempt) {
    if (readToc(toc)) return true;
    if (attempt < kTocAttempts) std::this_thread::sleep_for(kTocRetryDelay);
  }
  return false;
}

bool CdDrive::holdsDisc(const CdToc& expected) const {
  CdToc now{};
  return readTocRetrying(now) && sameToc(now, expected);
}

bool sameToc(const CdToc& a, const CdToc& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace rondel
