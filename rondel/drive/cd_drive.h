#pragma once
// One drive of the drive library, addressed by its device index: every call
// the component makes of a drive. The library is loaded all or nothing, yet
// each call still answers as a failure rather than call through an empty
// pointer.
#include <cstdint>
#include <mutex>
#include <string>

#include "sdk/cdr_api.h"

namespace rondel {

class CdDrive {
 public:
  CdDrive(const CdDeviceRecord* record, std::uint32_t deviceIndex);
  CdDrive(const CdDrive&) = delete;
  CdDrive& operator=(const CdDrive&) = delete;

  // The display name from the library's record (Windows-1252), read no
  // further than the record's name field.
  const std::string& name() const { return name_; }
  std::uint32_t deviceIndex() const { return deviceIndex_; }
  const CdDeviceRecord* record() const { return record_; }
  // Guards this drive's read state against the audio reader and rip worker.
  std::mutex& mutex() { return mutex_; }

  // The readiness answer: kCdReady, kCdNoDisc, kCdBecomingReady or
  // another code for not ready.
  std::int32_t testUnitReady() const;
  // Tray and medium. True when the library reports success.
  bool eject() const;
  bool load() const;
  // Keeps the disc in the drive while a job reads it (and lets it go).
  bool lock() const;
  bool unlock() const;
  // Claims the drive for this process while the window lives.
  bool lockVolume() const;
  bool unlockVolume() const;
  // Readies the drive for audio reads; the answer is advisory.
  void prepareCdda() const;
  // Reads `count` raw audio sectors from `first` into `into`, a buffer from
  // allocateBuffer of at least count * 2352 bytes.
  bool readCdda(std::uint32_t first, std::uint32_t count, void* into) const;
  // A buffer the library can read into; freeBuffer gives it back.
  bool allocateBuffer(std::uint32_t bytes, void** data, CdBufferHandle* handle) const;
  void freeBuffer(CdBufferHandle handle) const;

  // Reads the table of contents. False when the library fails, and also when
  // it reports first/last track numbers outside 1..99 or reversed: such a
  // record comes from a faulty library and would index past the entries.
  bool readToc(CdToc& toc) const;
  // readToc up to 5 times, 50 ms apart: a drive that has just become ready
  // may refuse its first reads. Blocks the calling thread for at most
  // about 200 ms.
  bool readTocRetrying(CdToc& toc) const;
  // True when the drive holds the disc whose table of contents is
  // `expected` (compared byte for byte); false when it holds another or
  // its table of contents cannot be read.
  bool holdsDisc(const CdToc& expected) const;

 private:
  const CdDeviceRecord* record_;
  const std::uint32_t deviceIndex_;
  const std::string name_;
  std::mutex mutex_;
};

// The check readToc applies, usable on records from elsewhere.
bool isTocPlausible(const CdToc& toc);
// Byte for byte: two reads of one disc give the same record.
bool sameToc(const CdToc& a, const CdToc& b);

}  // namespace rondel
