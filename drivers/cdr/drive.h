#pragma once
// One drive the library offers, whatever stands behind it: a simulated
// drive, a real device (device_drive.h), a disc image (image_drive.h). The
// exports serialise the calls made on one drive, so implementations need no
// locking of their own.
#include <chrono>
#include <cstdint>
#include <string>

#include "sdk/cdr_api.h"

namespace cdr {

// Results of the exports (CD_TestUnitReady answers readiness codes instead).
// The component only tests for nonzero; distinct values help diagnosis. They
// stay clear of the readiness codes 7 and 12.
constexpr std::int32_t kOk = 0;
constexpr std::int32_t kFailed = 1;       // the drive could not do it (I/O error, raw file too short)
constexpr std::int32_t kBadDevice = 2;    // no such device index, or the library is not initialised
constexpr std::int32_t kBadArgument = 3;  // null pointer, zero count, unknown handle, size out of bounds
constexpr std::int32_t kNotReady = 4;     // no disc, or the drive has not become ready yet
constexpr std::int32_t kOutOfRange = 5;   // sectors at or beyond the lead-out
constexpr std::int32_t kUnsupported = 6;  // e.g. a disc without CD-Text
constexpr std::int32_t kNoMemory = 8;
constexpr std::int32_t kInternal = 9;  // an unexpected exception, caught at the C boundary

class Drive {
 public:
  virtual ~Drive() = default;

  // Display name in Windows-1252, shorter than kCdDeviceNameBytes.
  virtual std::string name() const = 0;

  // kCdReady, kCdNoDisc, kCdBecomingReady, or another nonzero code.
  virtual std::int32_t testUnitReady() = 0;
  virtual std::int32_t readToc(CdToc& toc) = 0;
  // Reads count >= 1 raw sectors from lba into out, which holds at least
  // count * kCdSectorBytes bytes (the exports have checked out and count).
  virtual std::int32_t readCdda(std::uint32_t lba, std::uint32_t count, void* out) = 0;
  // When the read just made may return to its caller. A drive that stands in
  // for a slower one answers a later time; the exports wait for it after the
  // drive's mutex is released, so other calls on the drive are not held up.
  // Asked right after readCdda, under the same lock. The epoch means at once.
  virtual std::chrono::steady_clock::time_point readDoneAt() const { return {}; }
  virtual std::int32_t eject() = 0;
  virtual std::int32_t load() = 0;
  virtual std::int32_t lock() = 0;
  virtual std::int32_t unlock() = 0;
  virtual std::int32_t lockVolume() = 0;
  virtual std::int32_t unlockVolume() = 0;
  virtual std::int32_t prepare() = 0;
  // bytes: in, the room in buffer; out, the bytes written. No backend
  // reads CD-Text (the component never asks for it).
  virtual std::int32_t readCdText(void* /*buffer*/, std::uint32_t& bytes) {
    bytes = 0;
    return kUnsupported;
  }
  // The speed last set is what getSpeed answers (0 until set); a real
  // device also passes it to the drive first.
  virtual std::int32_t setSpeed(std::uint32_t speed) {
    speed_ = speed;
    return kOk;
  }
  std::int32_t getSpeed(std::uint32_t& speed) const {
    speed = speed_;
    return kOk;
  }
  // The largest transfer the drive takes in one read, in bytes.
  virtual std::uint32_t maxTransferBytes() const = 0;

 private:
  std::uint32_t speed_ = 0;  // under the drive's mutex, as every call
};

}  // namespace cdr
