#include "rondel/drive/cd_drive.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "rondel/drive/cdr_functions.h"

namespace rondel {
namespace {
constexpr std::uint32_t kRawCdda = 1;  // CD_ReadCDDA's flags argument
constexpr int kTocAttempts = 5;
// The readiness answer of a library that offers no readiness test: not ready.
constexpr std::int32_t kCdNotAnswered = -1;
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

std::int32_t CdDrive::testUnitReady() const {
  const CdrFunctions& f = cdr();
  return f.CD_TestUnitReady != nullptr ? f.CD_TestUnitReady(deviceIndex_) : kCdNotAnswered;
}

bool CdDrive::eject() const { return cdr().CD_Eject != nullptr && cdr().CD_Eject(deviceIndex_) == 0; }
bool CdDrive::load() const { return cdr().CD_Load != nullptr && cdr().CD_Load(deviceIndex_) == 0; }
bool CdDrive::lock() const { return cdr().CD_Lock != nullptr && cdr().CD_Lock(deviceIndex_) == 0; }
bool CdDrive::unlock() const {
  return cdr().CD_Unlock != nullptr && cdr().CD_Unlock(deviceIndex_) == 0;
}
bool CdDrive::lockVolume() const {
  return cdr().CD_LockVolume != nullptr && cdr().CD_LockVolume(deviceIndex_) == 0;
}
bool CdDrive::unlockVolume() const {
  return cdr().CD_UnlockVolume != nullptr && cdr().CD_UnlockVolume(deviceIndex_) == 0;
}

void CdDrive::prepareCdda() const {
  if (cdr().CD_PrepareCDDA != nullptr) (void)cdr().CD_PrepareCDDA(deviceIndex_);
}

bool CdDrive::readCdda(std::uint32_t first, std::uint32_t count, void* into) const {
  const CdrFunctions& f = cdr();
  return f.CD_ReadCDDA != nullptr && into != nullptr &&
         f.CD_ReadCDDA(deviceIndex_, first, count, into, kRawCdda) == 0;
}

bool CdDrive::allocateBuffer(std::uint32_t bytes, void** data, CdBufferHandle* handle) const {
  const CdrFunctions& f = cdr();
  // Without the means to give a buffer back, none is taken.
  return f.CD_AllocateBuffer != nullptr && f.CD_FreeBuffer != nullptr &&
         f.CD_AllocateBuffer(deviceIndex_, bytes, data, handle) == 0;
}

void CdDrive::freeBuffer(CdBufferHandle handle) const {
  if (cdr().CD_FreeBuffer != nullptr) cdr().CD_FreeBuffer(handle);
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
