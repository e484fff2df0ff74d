#pragma once
// One drive of the drive library, addressed by its device index.
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
